#include "framework/Properties.h"

#include "framework/Control.h"
#include "framework/TextCompare.h"

#include <atomic>
#include <map>
#include <mutex>

namespace qor {

namespace {

struct Registry {
    std::mutex Lock;
    std::vector<std::unique_ptr<TMetaClass>> Classes;
    std::map<std::type_index, const TMetaClass*> ByType;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

int Depth(const TMetaClass* m) {
    int d = 0;
    for (; m; m = m->Parent)
        ++d;
    return d;
}

// The framework's own classes are there before any look-up answers. The guard lets the
// registration itself look classes up.
void EnsureBuiltIns() {
    static std::atomic<int> state{0}; // 0 not yet, 1 registering, 2 done
    int expected = 0;
    if (!state.compare_exchange_strong(expected, 1))
        return;
    RegisterClass<TPersistent>("TPersistent");
    RegisterClass<TComponent>("TComponent");
    RegisterClass<TControl>("TControl");
    state = 2;
}

} // namespace

void TComponent::Publish(TPublisher<TComponent>& P) {
    P.Integer("Tag", &TComponent::Tag, &TComponent::SetTag);
}

const TPropInfo* TMetaClass::FindProperty(const std::string& Name) const {
    for (const TPropInfo& p : Properties)
        if (SameText(p.Name, Name))
            return &p;
    return nullptr;
}

bool TMetaClass::InheritsFrom(const TMetaClass& Other) const {
    for (const TMetaClass* m = this; m; m = m->Parent)
        if (m == &Other)
            return true;
    return false;
}

const TMetaClass* TClassRegistry::Find(const std::type_info& Type) {
    EnsureBuiltIns();
    Registry& r = TheRegistry();
    std::lock_guard lock(r.Lock);
    auto it = r.ByType.find(Type);
    return it == r.ByType.end() ? nullptr : it->second;
}

const TMetaClass* TClassRegistry::FindByName(const std::string& ClassName) {
    EnsureBuiltIns();
    Registry& r = TheRegistry();
    std::lock_guard lock(r.Lock);
    for (const auto& m : r.Classes)
        if (SameText(m->ClassName, ClassName))
            return m.get();
    return nullptr;
}

const TMetaClass& TClassRegistry::Add(std::unique_ptr<TMetaClass> Meta) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.Lock);
    auto it = r.ByType.find(Meta->Type);
    if (it != r.ByType.end())
        return *it->second;
    const TMetaClass* added = Meta.get();
    r.ByType.emplace(Meta->Type, added);
    r.Classes.push_back(std::move(Meta));
    return *added;
}

const TMetaClass* MetaClassOf(const TPersistent& Object) {
    EnsureBuiltIns();
    if (const TMetaClass* exact = TClassRegistry::Find(typeid(Object)))
        return exact;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.Lock);
    const TMetaClass* best = nullptr;
    for (const auto& m : r.Classes)
        if (m->IsInstance && m->IsInstance(Object) && Depth(m.get()) > Depth(best))
            best = m.get();
    return best;
}

} // namespace qor
