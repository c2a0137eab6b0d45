// Fuzz target: numbers, vectors and maps of every type load their values and command
// entries from an INI store holding the fuzzed text, over a connection to the simulator
// library, then save them back. The first byte picks the loading modes. Nothing may crash, leak or
// run into undefined behaviour.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/SysUtils.h"
#include "inistore/Qormeminifile.h"
#include "tests/support/SimLibrary.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace qor;

namespace {

// A small image, so that an input takes little time: every kind and width of item.
const char* const ImageText = R"(value 5 Idle 0x400 u16 850
value 8 Trim 0x406 s16 -12
value 7 Fan 0x404 u8 135
vector 1 Speed 0x000 u16 4 500 1000 2000 4000
vector 2 Load 0x020 u8 4 10 20 30 40
vector 9 Warmup 0x410 u8 3 1 2 3
map 3 Ign 0x100 s8 3 4 -5 0 5 10 -4 1 6 11 -3 2 7 12
map 4 Fuel 0x200 u16 4 3 1500 1600 1700 1800 1900 2000 2100 2200 2300 2400 2500 2600
map 10 Cranking 0x420 u16 3 1 100 200 300
)";

// Each object has its own section and key; the dictionary knows them.
const std::string FormText = R"(object Form: TComponent
  object Link: TQorConnection
    DllName = ')" QOR_ECUSIM_FILE R"('
  end
  object Idle: TQorNumber
    DataLength = 2
    DataMask = 65535
    SerialCode = 5
    ValueMin = 500.0
    ValueMax = 2000.0
    FileSection = 'Values'
    FileKeyName = 'Idle'
    Connection = Link
  end
  object Trim: TQorNumber
    DataLength = 2
    DataMask = 65535
    SerialCode = 8
    Signed = True
    Transformation = ttFormula
    FileSection = 'Values'
    FileKeyName = 'Trim'
    Connection = Link
    Coeffs = (2.0 1.0 0.0 4.0)
  end
  object Cell: TQorNumber
    SerialCode = 3
    Signed = True
    Type = ntMatrixElement
    RowIndex = 2
    ColIndex = 3
    FileSection = 'Cells'
    FileKeyName = 'Cell'
    Connection = Link
  end
  object Speed: TQorNumber
    DataLength = 2
    DataMask = 65535
    SerialCode = 1
    Type = ntVectorElement
    ColIndex = 3
    FileSection = 'Cells'
    FileKeyName = 'Speed'
    Connection = Link
  end
  object Fan: TQorNumber
    SerialCode = 7
    ByAddress = True
    Address = 1028
    FileSection = 'Values'
    FileKeyName = 'Fan'
    Connection = Link
  end
  object Load: TQorVector
    SerialCode = 2
    ArrayDimension = 4
    FileSection = 'Axes'
    FileKeyName = 'Load'
    Connection = Link
  end
  object Warmup: TQorVector
    SerialCode = 9
    ArrayDimension = 3
    SingleElementAccess = True
    ValueMax = 200.0
    FileSection = 'Axes'
    FileKeyName = 'Warmup'
    Connection = Link
  end
  object IgnRow: TQorVector
    SerialCode = 3
    Signed = True
    ArrayDimension = 4
    Type = vtMatrixRow
    RowIndex = 1
    FileSection = 'Axes'
    FileKeyName = 'IgnRow'
    Connection = Link
  end
  object FuelCol: TQorVector
    DataLength = 2
    DataMask = 65535
    SerialCode = 4
    ArrayDimension = 4
    Type = vtMatrixCol
    ColIndex = 2
    FileSection = 'Axes'
    FileKeyName = 'FuelCol'
    Connection = Link
  end
  object Ign: TQorMatrix
    SerialCode = 3
    Signed = True
    ColCount = 4
    RowCount = 3
    Type = mtMatrix
    FileSection = 'Ign'
    FileKeyName = 'Ign'
    Connection = Link
  end
  object Cranking: TQorMatrix
    DataLength = 2
    DataMask = 65535
    SerialCode = 10
    ColCount = 1
    RowCount = 3
    LoadVerticalVectorWithSingleCommand = True
    FileSection = 'Cranking'
    FileKeyName = 'Cranking'
    Connection = Link
  end
  object Fuel: TQorMatrix
    DataLength = 2
    DataMask = 65535
    SerialCode = 4
    ColCount = 3
    RowCount = 4
    ByAddress = True
    Address = 512
    FileSection = 'Fuel'
    FileKeyName = 'Fuel'
    Connection = Link
  end
end
)";

test::TSimLibrary& Sim() {
    static test::TSimLibrary sim(QOR_ECUSIM_FILE);
    return sim;
}

// The image file, written once for the whole run and removed at its end.
struct TImageFile {
    TImageFile()
        : Path((std::filesystem::temp_directory_path() /
                ("qorcal-fuzz-" + std::to_string(::getpid()) + ".img"))
                   .string()) {
        std::ofstream(Path) << ImageText;
    }
    ~TImageFile() { std::filesystem::remove(Path); }
    std::string Path;
};

const std::string& ImagePath() {
    static const TImageFile file;
    return file.Path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const bool registered = (RegisterDataClasses(), true);
    (void)registered;
    if (Size < 1)
        return 0;
    char error[256] = {};
    if (!Sim().Reset(ImagePath().c_str(), error, sizeof error))
        std::abort(); // the image above is wrong
    std::unique_ptr<TComponent> form = ReadComponentText(FormText);
    TMemIniBlock block(std::string_view(reinterpret_cast<const char*>(Data) + 1, Size - 1));
    TMemIniData ini(block.Ref(), Size + MemIniLengthSize);
    const std::uint8_t mode = Data[0];
    for (int i = 0; i < form->ComponentCount(); ++i) {
        auto* data = dynamic_cast<TQorSerialData*>(form->Components(i));
        if (!data)
            continue;
        data->SetOldReadFileMode(mode & 1);
        data->SetStoreUserValue(mode & 2);
        data->SetDisableLimits(mode & 4);
        try {
            if (mode & 8)
                data->LoadCommandEntry(ini);
            else
                data->LoadFromIni(ini);
            for (int field = -1; field < 8; ++field) {
                int value = 0;
                data->ReadCommandField(ini, field, &value);
            }
            if (mode & 16)
                data->LoadCommandEntry(ini);
            data->SaveToIni(ini);
            data->SaveCommandEntry(ini);
        } catch (const EConvertError&) {
            // A command entry's raw field that is not hexadecimal.
        }
    }
    return 0;
}
