#include "framework/FormStreaming.h"

#include "framework/FormText.h"
#include "framework/TextCompare.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <unordered_map>

namespace qor {

namespace {

// Collects the defined properties of one object: names with their reader and writer.
class TDefinedProperties : public TFiler {
public:
    struct Entry {
        std::string Name;
        TReaderProc Read;
        TWriterProc Write;
        bool HasData;
    };

    explicit TDefinedProperties(TPersistent& Object) { Object.DefineProperties(*this); }

    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData,
                        bool HasData) override {
        FEntries.push_back({Name, std::move(ReadData), std::move(WriteData), HasData});
    }

    const Entry* Find(const std::string& Name) const {
        for (const Entry& e : FEntries)
            if (SameText(e.Name, Name))
                return &e;
        return nullptr;
    }
    const std::vector<Entry>& Entries() const { return FEntries; }

private:
    std::vector<Entry> FEntries;
};

// ---- writing ----

std::string ReferenceName(const TComponent& Ref, const TComponent& Root) {
    if (&Ref == &Root || Ref.Owner() == &Root || !Ref.Owner() || Ref.Owner()->Name().empty())
        return Ref.Name();
    return Ref.Owner()->Name() + "." + Ref.Name();
}

TValue StreamValue(const TPropInfo& Prop, const TValue& Raw) {
    if (Prop.Kind == TPropKind::Enum) {
        const auto i = Raw.As<std::int64_t>();
        if (i >= 0 && static_cast<std::size_t>(i) < Prop.EnumNames.size())
            return TValue(TIdent{Prop.EnumNames[static_cast<std::size_t>(i)]});
        return Raw;
    }
    if (Prop.Kind == TPropKind::Set) {
        const auto bits = static_cast<std::uint64_t>(Raw.As<std::int64_t>());
        TSetValue set;
        for (std::size_t i = 0; i < Prop.EnumNames.size() && i < 64; ++i)
            if (bits & (std::uint64_t{1} << i))
                set.Items.push_back(Prop.EnumNames[i]);
        return TValue(std::move(set));
    }
    return Raw;
}

void CaptureProperties(TPersistent& Object, const TComponent& Root, const std::string& Prefix,
                       std::vector<TFormProperty>& Out) {
    if (const TMetaClass* meta = MetaClassOf(Object)) {
        for (const TPropInfo& prop : meta->Properties) {
            const std::string name = Prefix + prop.Name;
            if (prop.Kind == TPropKind::Object) {
                if (TPersistent* sub = prop.GetObject(Object))
                    CaptureProperties(*sub, Root, name + ".", Out);
                continue;
            }
            if (prop.Kind == TPropKind::Component) {
                const TComponent* ref = prop.GetComponent(Object);
                if (ref && !ref->Name().empty())
                    Out.push_back({name, TValue(TIdent{ReferenceName(*ref, Root)}), 0, 0});
                continue;
            }
            if (!prop.Get || !prop.Set)
                continue; // read-only properties are not streamed
            TValue v = prop.Get(Object);
            if (!prop.Default.IsNil() && v == prop.Default)
                continue;
            Out.push_back({name, StreamValue(prop, v), 0, 0});
        }
    }
    TDefinedProperties defined(Object);
    for (const auto& entry : defined.Entries()) {
        if (!entry.HasData || !entry.Write)
            continue;
        TWriter writer;
        entry.Write(writer);
        Out.push_back({Prefix + entry.Name, writer.Result(), 0, 0});
    }
}

// Owned components of Root by the component they are written nested under (Root itself
// for the top level), in Root's order; found in one walk, however many there are.
using TNesting = std::unordered_map<const TComponent*, std::vector<TComponent*>>;

TNesting NestingOf(const TComponent& Root) {
    TNesting nesting;
    for (int i = 0; i < Root.ComponentCount(); ++i) {
        TComponent* c = Root.Components(i);
        const TComponent* p = c->GetParentComponent();
        nesting[p ? p : &Root].push_back(c);
    }
    return nesting;
}

TFormNode CaptureNode(TComponent& Component, const TComponent& Root, const TNesting& Nesting) {
    TFormNode node;
    node.Name = Component.Name();
    node.ClassName = Component.ClassName();
    CaptureProperties(Component, Root, "", node.Properties);
    if (const auto it = Nesting.find(&Component); it != Nesting.end())
        for (TComponent* child : it->second)
            if (child != &Component)
                node.Children.push_back(CaptureNode(*child, Root, Nesting));
    return node;
}

// ---- reading ----

struct TFixup {
    TPersistent* Object;
    const TPropInfo* Prop;
    std::string Target;
    int Line;
    int Column;
};

class TFormLoader {
public:
    explicit TFormLoader(TComponent& Root) : FRoot(Root) {}

    void Load(const TFormNode& Node) {
        try {
            const TMetaClass* rootMeta = MetaClassOf(FRoot);
            const TMetaClass* nodeMeta = TClassRegistry::FindByName(Node.ClassName);
            if (!nodeMeta || !rootMeta || !rootMeta->InheritsFrom(*nodeMeta))
                throw EReadError("the form holds a " + Node.ClassName + ", not a " +
                                     FRoot.ClassName(),
                                 Node.Line, Node.Column);
            if (!Node.Name.empty())
                Guarded(Node.Line, Node.Column, [&] { FRoot.SetName(Node.Name); });
            FRoot.BeginLoading();
            FLoading.push_back(&FRoot);
            ApplyProperties(FRoot, Node);
            for (const TFormNode& child : Node.Children)
                CreateChild(child, FRoot);
            ResolveReferences();
            for (TComponent* c : FLoading)
                c->Loaded();
        } catch (...) {
            for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
                delete *it;
            FRoot.EndLoading();
            throw;
        }
    }

private:
    template <class F> static void Guarded(int Line, int Column, F&& Action) {
        try {
            Action();
        } catch (const EReadError&) {
            throw;
        } catch (const std::exception& e) {
            throw EReadError(e.what(), Line, Column);
        }
    }

    void CreateChild(const TFormNode& Node, TComponent& Parent) {
        const TMetaClass* meta = TClassRegistry::FindByName(Node.ClassName);
        if (!meta)
            throw EReadError("class " + Node.ClassName + " not found", Node.Line, Node.Column);
        if (!meta->Create)
            throw EReadError("class " + Node.ClassName + " cannot be created", Node.Line,
                             Node.Column);
        TComponent* c = nullptr;
        Guarded(Node.Line, Node.Column, [&] { c = meta->Create(&FRoot); });
        FCreated.push_back(c);
        c->BeginLoading();
        Guarded(Node.Line, Node.Column, [&] {
            c->SetName(Node.Name);
            c->SetParentComponent(&Parent);
        });
        FLoading.push_back(c);
        ApplyProperties(*c, Node);
        for (const TFormNode& child : Node.Children)
            CreateChild(child, *c);
    }

    void ApplyProperties(TPersistent& Object, const TFormNode& Node) {
        for (const TFormProperty& p : Node.Properties)
            ApplyProperty(Object, p);
    }

    const TDefinedProperties& DefinedOf(TPersistent& Object) {
        auto it = FDefined.find(&Object);
        if (it == FDefined.end())
            it = FDefined.emplace(&Object, std::make_unique<TDefinedProperties>(Object)).first;
        return *it->second;
    }

    void ApplyProperty(TPersistent& Object, const TFormProperty& P) {
        TPersistent* target = &Object;
        std::string name = P.Name;
        for (std::size_t dot; (dot = name.find('.')) != std::string::npos;) {
            const std::string head = name.substr(0, dot);
            const TMetaClass* meta = MetaClassOf(*target);
            const TPropInfo* prop = meta ? meta->FindProperty(head) : nullptr;
            TPersistent* sub =
                (prop && prop->Kind == TPropKind::Object) ? prop->GetObject(*target) : nullptr;
            if (!sub)
                throw EReadError("property " + P.Name + " does not exist", P.Line, P.Column);
            target = sub;
            name = name.substr(dot + 1);
        }
        const TMetaClass* meta = MetaClassOf(*target);
        if (const TPropInfo* prop = meta ? meta->FindProperty(name) : nullptr) {
            if (prop->Kind == TPropKind::Component) {
                if (P.Value.IsNil())
                    Guarded(P.Line, P.Column, [&] { prop->SetComponent(*target, nullptr); });
                else if (P.Value.Is<TIdent>())
                    FFixups.push_back({target, prop, P.Value.As<TIdent>().Name, P.Line, P.Column});
                else
                    throw EReadError("a component name was expected for " + P.Name, P.Line,
                                     P.Column);
                return;
            }
            if (!prop->Set)
                throw EReadError("property " + P.Name + " is read-only", P.Line, P.Column);
            TValue v = Convert(*prop, P);
            Guarded(P.Line, P.Column, [&] { prop->Set(*target, v); });
            return;
        }
        if (const auto* defined = DefinedOf(*target).Find(name); defined && defined->Read) {
            TReader reader(P.Value, P.Line, P.Column);
            Guarded(P.Line, P.Column, [&] { defined->Read(reader); });
            return;
        }
        throw EReadError("property " + P.Name + " does not exist", P.Line, P.Column);
    }

    static TValue Convert(const TPropInfo& Prop, const TFormProperty& P) {
        const TValue& v = P.Value;
        auto fail = [&](const std::string& what) -> TValue {
            throw EReadError(what + " was expected for " + P.Name, P.Line, P.Column);
        };
        switch (Prop.Kind) {
        case TPropKind::Integer:
            return v.Is<std::int64_t>() ? v : fail("an integer");
        case TPropKind::Float:
            if (v.Is<double>())
                return v;
            if (v.Is<std::int64_t>())
                return TValue(static_cast<double>(v.As<std::int64_t>()));
            if (v.Is<TIdent>()) {
                const std::string& n = v.As<TIdent>().Name;
                if (SameText(n, "NaN"))
                    return TValue(std::numeric_limits<double>::quiet_NaN());
                if (SameText(n, "Inf"))
                    return TValue(std::numeric_limits<double>::infinity());
                if (SameText(n, "-Inf"))
                    return TValue(-std::numeric_limits<double>::infinity());
            }
            return fail("a number");
        case TPropKind::String:
            return v.Is<std::string>() ? v : fail("a string");
        case TPropKind::Bool:
            return v.Is<bool>() ? v : fail("True or False");
        case TPropKind::Enum:
            if (v.Is<TIdent>()) {
                for (std::size_t i = 0; i < Prop.EnumNames.size(); ++i)
                    if (SameText(Prop.EnumNames[i], v.As<TIdent>().Name))
                        return TValue(static_cast<std::int64_t>(i));
                throw EReadError("'" + v.As<TIdent>().Name + "' is not a value of " + P.Name,
                                 P.Line, P.Column);
            }
            return fail("an enumeration value");
        case TPropKind::Set: {
            if (!v.Is<TSetValue>())
                return fail("a set");
            std::int64_t bits = 0;
            for (const std::string& item : v.As<TSetValue>().Items) {
                std::size_t i = 0;
                while (i < Prop.EnumNames.size() && !SameText(Prop.EnumNames[i], item))
                    ++i;
                if (i == Prop.EnumNames.size())
                    throw EReadError("'" + item + "' is not a member of " + P.Name, P.Line,
                                     P.Column);
                bits |= std::int64_t{1} << i;
            }
            return TValue(bits);
        }
        default:
            return v;
        }
    }

    TComponent* FindReference(const std::string& Name) const {
        const auto dot = Name.find('.');
        if (dot == std::string::npos)
            return SameText(Name, FRoot.Name()) ? &FRoot : FRoot.FindComponent(Name);
        const std::string head = Name.substr(0, dot), tail = Name.substr(dot + 1);
        if (SameText(head, FRoot.Name()))
            return FRoot.FindComponent(tail);
        TComponent* owner = FRoot.FindComponent(head);
        return owner ? owner->FindComponent(tail) : nullptr;
    }

    void ResolveReferences() {
        for (const TFixup& f : FFixups) {
            TComponent* ref = FindReference(f.Target);
            if (!ref)
                throw EReadError("component " + f.Target + " not found", f.Line, f.Column);
            Guarded(f.Line, f.Column, [&] { f.Prop->SetComponent(*f.Object, ref); });
        }
    }

    TComponent& FRoot;
    std::vector<TComponent*> FCreated;
    std::vector<TComponent*> FLoading;
    std::vector<TFixup> FFixups;
    std::map<TPersistent*, std::unique_ptr<TDefinedProperties>> FDefined;
};

std::string ReadFile(const std::string& FileName) {
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open form file " + FileName);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string WriteComponentText(const TComponent& Root) {
    // Capturing calls getters and DefineProperties, which are not const in the framework.
    auto& root = const_cast<TComponent&>(Root);
    return RenderFormText(CaptureNode(root, Root, NestingOf(Root)));
}

void SaveComponentToFile(const TComponent& Root, const std::string& FileName) {
    const std::string text = WriteComponentText(Root);
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write form file " + FileName);
}

std::unique_ptr<TComponent> ReadComponentText(std::string_view Text) {
    const TFormNode node = ParseFormText(Text);
    const TMetaClass* meta = TClassRegistry::FindByName(node.ClassName);
    if (!meta)
        throw EReadError("class " + node.ClassName + " not found", node.Line, node.Column);
    if (!meta->Create)
        throw EReadError("class " + node.ClassName + " cannot be created", node.Line, node.Column);
    std::unique_ptr<TComponent> root(meta->Create(nullptr));
    TFormLoader(*root).Load(node);
    return root;
}

std::unique_ptr<TComponent> LoadComponentFromFile(const std::string& FileName) {
    return ReadComponentText(ReadFile(FileName));
}

void ReadComponentTextInto(TComponent& Root, std::string_view Text) {
    TFormLoader(Root).Load(ParseFormText(Text));
}

void LoadComponentFromFileInto(TComponent& Root, const std::string& FileName) {
    ReadComponentTextInto(Root, ReadFile(FileName));
}

} // namespace qor
