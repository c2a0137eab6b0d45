#include "app/EcuSnapshot.h"

#include "app/DemoForm.h"
#include "data/SerialData.h"
#include "link/QorConnection.h"

#include <cstdint>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <tuple>

namespace qor {

namespace {

using TGetValue = int (*)(int SerialCode, int Index, std::int32_t* Value);

// The file a connection loads for a library name: a bare name beside the program first.
std::string LibraryPath(const std::string& DllName) {
    if (DllName.find('/') != std::string::npos)
        return DllName;
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && std::filesystem::exists(program.parent_path() / DllName, error))
        return (program.parent_path() / DllName).string();
    return DllName;
}

// The simulator's control API in the library the connection has loaded, if it is the
// simulator; holds the library open while it exists.
class TSimulatorAccess {
public:
    explicit TSimulatorAccess(const TQorConnection& Link) {
        if (!Link.DllLoaded())
            return;
        FHandle = dlopen(LibraryPath(Link.DllName()).c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (FHandle)
            FGetValue = reinterpret_cast<TGetValue>(dlsym(FHandle, "QorSim_GetValue"));
    }
    ~TSimulatorAccess() {
        if (FHandle)
            dlclose(FHandle);
    }
    TSimulatorAccess(const TSimulatorAccess&) = delete;
    TSimulatorAccess& operator=(const TSimulatorAccess&) = delete;

    bool Present() const { return FGetValue != nullptr; }
    bool Get(int SerialCode, int Index, int& Raw) const {
        std::int32_t value = 0;
        if (!FGetValue(SerialCode, Index, &value))
            return false;
        Raw = value;
        return true;
    }

private:
    void* FHandle = nullptr;
    TGetValue FGetValue = nullptr;
};

template <class T> void CopyLayout(T& Copy, const TQorSerialData& Data, TQorConnection* Link) {
    Copy.SetDataLength(Data.DataLength());
    Copy.SetSerialCode(Data.SerialCode());
    Copy.SetSigned(Data.Signed());
    Copy.SetDataMask(Data.DataMask());
    Copy.SetConnection(Link);
}

// Reads every value with components of their own over the form's connection.
void ReadOverLink(TDemoForm& Form, TEcuSnapshot& Snapshot) {
    TComponent owner(nullptr);
    for (int i = 0; i < Form.ComponentCount(); ++i) {
        if (auto* number = dynamic_cast<TQorNumber*>(Form.Components(i))) {
            auto* copy = new TQorNumber(&owner);
            CopyLayout(*copy, *number, Form.Connection());
            if (copy->ReloadFromEcu())
                Snapshot.Values.push_back({number->Name(), -1, -1, copy->RawValue(), {}});
        } else if (auto* map = dynamic_cast<TQorMatrix*>(Form.Components(i))) {
            auto* copy = new TQorMatrix(&owner);
            CopyLayout(*copy, *map, Form.Connection());
            copy->SetColCount(map->ColCount());
            copy->SetRowCount(map->RowCount());
            if (!copy->ReloadFromEcu())
                continue;
            for (int r = 0; r < map->RowCount(); ++r)
                for (int c = 0; c < map->ColCount(); ++c)
                    Snapshot.Values.push_back({map->Name(), r, c, copy->RawValues()[r][c], {}});
        }
    }
}

void ReadFromSimulator(TDemoForm& Form, const TSimulatorAccess& Sim, TEcuSnapshot& Snapshot) {
    int raw = 0;
    for (int i = 0; i < Form.ComponentCount(); ++i) {
        if (auto* number = dynamic_cast<TQorNumber*>(Form.Components(i))) {
            if (Sim.Get(number->SerialCode(), 0, raw))
                Snapshot.Values.push_back({number->Name(), -1, -1, raw, {}});
        } else if (auto* map = dynamic_cast<TQorMatrix*>(Form.Components(i))) {
            for (int r = 0; r < map->RowCount(); ++r)
                for (int c = 0; c < map->ColCount(); ++c)
                    if (Sim.Get(map->SerialCode(), r * map->ColCount() + c, raw))
                        Snapshot.Values.push_back({map->Name(), r, c, raw, {}});
        }
    }
}

} // namespace

TEcuSnapshot TakeEcuSnapshot(TDemoForm& Form) {
    TEcuSnapshot snapshot;
    if (!Form.Connection())
        return snapshot;
    const TSimulatorAccess sim(*Form.Connection());
    if (sim.Present()) {
        snapshot.Source = "simulator";
        ReadFromSimulator(Form, sim, snapshot);
    } else {
        snapshot.Source = "link";
        ReadOverLink(Form, snapshot);
    }
    for (TEcuValue& value : snapshot.Values)
        if (auto* data = dynamic_cast<TQorSerialData*>(Form.FindComponent(value.Item)))
            value.Unit = data->MeasureUnit();
    return snapshot;
}

std::vector<TEcuChange> Changes(const TEcuSnapshot& Before, const TEcuSnapshot& After) {
    std::map<std::tuple<std::string, int, int>, int> after;
    for (const TEcuValue& v : After.Values)
        after[{v.Item, v.Row, v.Col}] = v.Raw;
    std::vector<TEcuChange> changes;
    for (const TEcuValue& v : Before.Values) {
        const auto it = after.find({v.Item, v.Row, v.Col});
        if (it != after.end() && it->second != v.Raw)
            changes.push_back({v, it->second});
    }
    return changes;
}

} // namespace qor
