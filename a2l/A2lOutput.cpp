// The texts a mapping gives: the form file, the item description and the report.

#include "a2l/A2lMapping.h"
#include "framework/FormText.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qor::a2l {
namespace {

std::string Quoted(const std::string& S) {
    std::string q = "'";
    for (char c : S) {
        if (c == '\'')
            q += "''";
        else if (static_cast<unsigned char>(c) < 0x20)
            q += ' ';
        else
            q += c;
    }
    return q + "'";
}

std::string Hex(std::uint32_t V) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << V;
    return s.str();
}

std::string F(double V) {
    return FormFloatText(V);
}

const char* TypeWord(const THeldItem& I) {
    if (I.Width == 2)
        return I.Signed ? "s16" : "u16";
    return I.Signed ? "s8" : "u8";
}

} // namespace

std::string TMapping::FormText() const {
    std::ostringstream o;
    o << "object " << FormName << ": TComponent\n";
    o << "  object Connection: TQorConnection\n    DllName = " << Quoted(DllName) << "\n  end\n";
    bool packets = false;
    for (const THeldItem& i : Items)
        packets = packets || i.Shape == TItemShape::Packet;
    if (packets)
        o << "  object Refresher: TDataRefresher\n    Connection = Connection\n  end\n";
    for (const THeldItem& i : Items) {
        o << "  object " << i.Component << ": " << i.ClassName << "\n";
        if (i.Width == 2)
            o << "    DataLength = 2\n";
        o << "    DataMask = " << i.DataMask << "\n";
        if (i.Code)
            o << "    SerialCode = " << i.Code << "\n";
        if (i.Signed)
            o << "    Signed = True\n";
        o << "    Transformation = " << i.Transformation << "\n";
        if (!i.Unit.empty())
            o << "    MeasureUnit = " << Quoted(i.Unit) << "\n";
        if (i.Precision > 0)
            o << "    Precision = " << F(i.Precision) << "\n";
        if (i.ValueMin != 0 || i.ValueMax != 0)
            o << "    ValueMin = " << F(i.ValueMin) << "\n    ValueMax = " << F(i.ValueMax) << "\n";
        if (i.DisableLimits)
            o << "    DisableLimits = True\n";
        if (i.Shape != TItemShape::Packet && !i.Fixed)
            o << "    FileSection = " << Quoted(ModuleName)
              << "\n    FileKeyName = " << Quoted(i.Component) << "\n";
        if (i.ReadOnly && i.Shape != TItemShape::Packet)
            o << "    ReadOnly = True\n";
        switch (i.Shape) {
        case TItemShape::Value:
            break;
        case TItemShape::Vector:
            o << "    ArrayDimension = " << i.Cols << "\n";
            break;
        case TItemShape::Map:
            o << "    ColCount = " << i.Cols << "\n    RowCount = " << i.Rows << "\n";
            break;
        case TItemShape::Packet:
            o << "    TimeInterval = " << RefreshInterval
              << "\n    Active = True\n    DataRefresher = Refresher\n";
            break;
        }
        if (i.Shape != TItemShape::Packet && !i.Fixed)
            o << "    Connection = Connection\n";
        o << "    Coeffs = (" << F(i.Coeffs[0]) << " " << F(i.Coeffs[1]) << " " << F(i.Coeffs[2])
          << " " << F(i.Coeffs[3]) << ")\n";
        if (!i.TableEcu.empty()) {
            o << "    ConversionTable = (" << i.TableEcu.size();
            for (double v : i.TableEcu)
                o << " " << F(v);
            for (double v : i.TableUser)
                o << " " << F(v);
            o << ")\n";
        }
        if (!i.Defaults.empty()) {
            o << "    DefaultValue = (" << i.Defaults.size();
            for (double v : i.Defaults)
                o << " " << F(v);
            o << ")\n";
        }
        o << "  end\n";
    }
    // The texts of verbal tables, in the control that shows them.
    for (const THeldItem& i : Items) {
        if (i.Texts.empty())
            continue;
        o << "  object " << i.Component << "Texts: TKeyComboBox\n    Items.Strings = (";
        for (std::size_t t = 0; t < i.Texts.size(); ++t)
            o << (t ? " " : "") << Quoted(i.Texts[t]);
        o << ")\n    DataCode = " << i.Code << "\n  end\n";
    }
    for (const THeldItem& i : Items) {
        if (i.Shape != TItemShape::Map)
            continue;
        o << "  object " << i.Component << "View: TQor3DMap\n    Data = " << i.Component << "\n";
        if (!i.RowRef.empty())
            o << "    RowRef = " << i.RowRef << "\n";
        if (!i.ColRef.empty())
            o << "    ColRef = " << i.ColRef << "\n";
        const THeldItem* across = Find(i.ColInput);
        const THeldItem* along = Find(i.RowInput);
        if (across && across->Shape == TItemShape::Packet)
            o << "    HorizontalPosition = " << across->Component << "\n";
        if (along && along->Shape == TItemShape::Packet)
            o << "    VerticalPosition = " << along->Component << "\n";
        o << "  end\n";
    }
    o << "end\n";
    return o.str();
}

std::string TMapping::DescriptionText() const {
    std::ostringstream o;
    o << "# Items of module " << ModuleName << (SourceName.empty() ? "" : " of " + SourceName)
      << ", written by qorcal-a2l.\n";
    o << "slave " << Host << " " << Port << (Tcp ? " tcp" : " udp") << "\n";
    if (ByteOrder)
        o << "byte_order " << (*ByteOrder == TByteOrder::MsbFirst ? "msb_first" : "msb_last")
          << "\n";
    o << "\n";
    for (const THeldItem& i : Items) {
        if (i.Fixed)
            continue;
        const std::string address =
            (i.Extension ? std::to_string(i.Extension) + ":" : std::string()) + Hex(i.Address);
        switch (i.Shape) {
        case TItemShape::Value:
            o << "value  " << i.Code << " " << i.Component << " " << address << " " << TypeWord(i);
            break;
        case TItemShape::Vector:
            o << "vector " << i.Code << " " << i.Component << " " << address << " " << TypeWord(i)
              << " " << i.Cols;
            break;
        case TItemShape::Map:
            o << "map    " << i.Code << " " << i.Component << " " << address << " " << TypeWord(i)
              << " " << i.Rows << " " << i.Cols << (i.ColumnMajor ? " col" : " row");
            break;
        case TItemShape::Packet:
            o << "packet " << i.Code << " " << i.Component << " " << address << " " << i.Cols;
            break;
        }
        o << "\n";
    }
    return o.str();
}

std::string TMapping::Report() const {
    std::ostringstream o;
    std::size_t held = 0;
    for (const THeldItem& i : Items)
        held += i.Fixed ? 0 : 1;
    o << "Module " << ModuleName << ": " << held << " items mapped, " << NotHeld.size()
      << " not held; XCP slave " << Host << ":" << Port << (Tcp ? " TCP" : " UDP") << "\n";
    if (!Items.empty())
        o << "Mapped:\n";
    for (const THeldItem& i : Items) {
        o << "  ";
        if (i.Fixed)
            o << "  - ";
        else
            o << (i.Code < 16 ? "0x0" : "0x") << std::hex << std::uppercase << i.Code << std::dec
              << " ";
        o << i.Block << " " << i.A2lName << " -> " << i.ClassName << " " << i.Component;
        if (i.Fixed) {
            o << " (fixed axis, " << i.Cols << " points)\n";
            continue;
        }
        o << " (" << TypeWord(i);
        if (i.Shape == TItemShape::Vector)
            o << " x " << i.Cols;
        if (i.Shape == TItemShape::Map)
            o << " " << i.Rows << " x " << i.Cols << (i.ColumnMajor ? " by columns" : " by rows");
        o << " at " << (i.Extension ? std::to_string(i.Extension) + ":" : std::string())
          << Hex(i.Address) << ", " << i.Transformation;
        if (!i.Texts.empty())
            o << ", " << i.Texts.size() << " texts";
        o << ")\n";
    }
    if (!NotHeld.empty())
        o << "Not held:\n";
    for (const TNotHeld& n : NotHeld)
        o << "  " << n.Block << " " << n.Name << ": " << n.Reason << "\n";
    if (!Notes.empty())
        o << "Notes:\n";
    for (const std::string& n : Notes)
        o << "  " << n << "\n";
    return o.str();
}

bool WriteMappingFiles(const TMapping& Mapping, const std::string& Dir, const std::string& BaseName,
                       std::string& Error) {
    std::error_code ec;
    std::filesystem::create_directories(Dir, ec);
    const std::pair<std::string, std::string> files[] = {
        {BaseName + ".qfm", Mapping.FormText()}, {BaseName + ".xcp", Mapping.DescriptionText()}};
    for (const auto& [name, text] : files) {
        const std::string path = (std::filesystem::path(Dir) / name).string();
        std::ofstream out(path, std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            Error = "cannot write " + path;
            return false;
        }
    }
    return true;
}

} // namespace qor::a2l
