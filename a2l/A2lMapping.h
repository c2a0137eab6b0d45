#pragma once
// From an ECU description to QorCal: every parameter and measurement the data components
// can hold becomes one component of a form file (numbers, vectors, maps with their axes,
// packet data for live measurements, key combo boxes for verbal tables) and one item of
// the XCP library's item description; everything else is reported with the reason.

#include "a2l/A2lModel.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace qor::a2l {

struct TMapOptions {
    std::string ModuleName;               // empty: the project's first module
    std::string DllName = "libqorxcp.so"; // the connection's communication library
    std::string Host;                     // empty: the file's XCP transport (else 127.0.0.1)
    int Port = 0;                         // 0: the file's (else 5555)
    std::optional<bool> Tcp;              // none: the file's (else UDP)
    int RefreshInterval = 100;            // milliseconds between reads of a measurement
};

enum class TItemShape { Value, Vector, Map, Packet };

// One component of the form, and (unless Fixed) one item of the description.
struct THeldItem {
    std::string Block;     // CHARACTERISTIC, AXIS_PTS, AXIS_DESCR or MEASUREMENT
    std::string A2lName;   // as the file writes it
    std::string Component; // the component's name in the form
    std::string ClassName; // TQorNumber, TQorVector, TQorMatrix, TQorPacketData
    TItemShape Shape = TItemShape::Value;
    int Code = 0; // serial code; 0 for a fixed axis, which the ECU does not hold
    bool Fixed = false;
    std::uint32_t Address = 0;
    int Extension = 0;
    int Width = 1;
    bool Signed = false;
    int Rows = 1;
    int Cols = 1;
    bool ColumnMajor = false;
    int DataMask = 0xFF;
    std::string Transformation = "ttFormula"; // ttFormula, ttTabled, ttNonLinearTabled
    std::array<double, 4> Coeffs{1, 0, 0, 1};
    std::vector<double> TableEcu, TableUser;
    std::vector<std::string> Texts; // a verbal table: the text of user value i
    std::vector<double> Defaults;   // a fixed axis: its values
    std::string Unit;
    double Precision = 0;
    double ValueMin = 0, ValueMax = 0;
    bool DisableLimits = false;
    bool ReadOnly = false;
    std::string RowRef, ColRef;     // a map's axes (components); a curve's axis is ColRef
    std::string RowInput, ColInput; // the measurements (file names) the axes are read at
};

struct TNotHeld {
    std::string Block;
    std::string Name;
    std::string Reason;
};

struct TMapping {
    std::string SourceName; // the file that was read
    std::string ModuleName;
    std::string FormName; // the form's root component
    std::string DllName = "libqorxcp.so";
    int RefreshInterval = 100; // milliseconds between reads of a measurement
    std::string Host;
    int Port = 5555;
    bool Tcp = false;
    std::optional<TByteOrder> ByteOrder;
    std::vector<THeldItem> Items; // by serial code, fixed axes last
    std::vector<TNotHeld> NotHeld;
    std::vector<std::string> Notes; // held, with a remark

    const THeldItem* Find(const std::string& A2lName) const;

    // The form file's text: the connection, a data refresher when there are
    // measurements, one component per item, a key combo box per verbal table (its texts)
    // and a 3-D map view per map (its axes as the view's references).
    std::string FormText() const;
    // The XCP library's item description (xcp/README.md).
    std::string DescriptionText() const;
    // What was mapped, every item that was not with its reason, and the remarks.
    std::string Report() const;
};

// Writes Dir/BaseName.qfm (the form) and Dir/BaseName.xcp (the item description); false
// with Error set when a file cannot be written.
bool WriteMappingFiles(const TMapping& Mapping, const std::string& Dir, const std::string& BaseName,
                       std::string& Error);

// Maps the chosen module. A module that is not there gives a mapping with no items and one
// entry in NotHeld.
TMapping MapProject(const TProject& Project, const TMapOptions& Options = {});

// The precision that a FORMAT string ("%W.D") gives: 10^-D, 1 for no decimals, 0 without
// a format.
double PrecisionOfFormat(const std::string& Format);

} // namespace qor::a2l
