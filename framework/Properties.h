#pragma once
// Published properties and the class registry.
//
// Each streamable class registers its published properties in declaration order with
// RegisterClass<C>(name): a static C::Publish(TPublisher<C>&) lists them with getter,
// setter and stream default. A class's property list starts with its ancestors' ones.
// The form reader creates components by class name through this registry.

#include "framework/Component.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace qor {

struct TValue;
using TValueList = std::vector<TValue>;

struct TNil {
    bool operator==(const TNil&) const = default;
};
// An identifier: an enumeration value or a component reference (maybe dotted).
struct TIdent {
    std::string Name;
    bool operator==(const TIdent&) const = default;
};
struct TSetValue {
    std::vector<std::string> Items;
    bool operator==(const TSetValue&) const = default;
};
struct TBinaryValue {
    std::vector<std::uint8_t> Bytes;
    bool operator==(const TBinaryValue&) const = default;
};
// One item of a collection: its properties in stream order.
struct TCollectionItemValue {
    std::vector<std::string> Names;
    std::vector<TValue> Values;
    bool operator==(const TCollectionItemValue&) const;
};
struct TCollectionValue {
    std::vector<TCollectionItemValue> Items;
    bool operator==(const TCollectionValue&) const = default;
};

// A value as it stands in a form file.
struct TValue {
    using Variant = std::variant<TNil, std::int64_t, double, std::string, bool, TIdent, TSetValue,
                                 TBinaryValue, TValueList, TCollectionValue>;
    Variant V;

    TValue() = default;
    TValue(TNil) {}
    TValue(std::int64_t v) : V(v) {}
    TValue(int v) : V(static_cast<std::int64_t>(v)) {}
    TValue(double v) : V(v) {}
    TValue(std::string v) : V(std::move(v)) {}
    TValue(const char* v) : V(std::string(v)) {}
    TValue(bool v) : V(v) {}
    TValue(TIdent v) : V(std::move(v)) {}
    TValue(TSetValue v) : V(std::move(v)) {}
    TValue(TBinaryValue v) : V(std::move(v)) {}
    TValue(TValueList v) : V(std::move(v)) {}
    TValue(TCollectionValue v) : V(std::move(v)) {}

    template <class T> bool Is() const { return std::holds_alternative<T>(V); }
    template <class T> const T& As() const { return std::get<T>(V); }
    bool IsNil() const { return Is<TNil>(); }
    bool operator==(const TValue&) const = default;
};

inline bool TCollectionItemValue::operator==(const TCollectionItemValue& o) const {
    return Names == o.Names && Values == o.Values;
}

enum class TPropKind { Integer, Float, String, Bool, Enum, Set, Component, Object, Value };

// A published property. Get/Set work on values as they stand in a form file; component
// references and nested objects have their own accessors.
struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Value;
    std::function<TValue(const TPersistent&)> Get;
    std::function<void(TPersistent&, const TValue&)> Set;
    std::function<TComponent*(const TPersistent&)> GetComponent;
    std::function<void(TPersistent&, TComponent*)> SetComponent;
    std::function<TPersistent*(TPersistent&)> GetObject;
    // Written only when the value differs from it; a nil default means always written.
    TValue Default;
    std::vector<std::string> EnumNames;
};

struct TMetaClass {
    std::string ClassName;
    const TMetaClass* Parent = nullptr;
    std::type_index Type = typeid(void);
    // Ancestors' properties first, then the class's own, in declaration order.
    std::vector<TPropInfo> Properties;
    // Creates an instance owned by the given owner; empty for abstract classes.
    std::function<TComponent*(TComponent*)> Create;
    // True when the object is of this class or a descendant.
    std::function<bool(const TPersistent&)> IsInstance;

    const TPropInfo* FindProperty(const std::string& Name) const;
    bool InheritsFrom(const TMetaClass& Other) const;
};

class TClassRegistry {
public:
    static const TMetaClass* Find(const std::type_info& Type);
    static const TMetaClass* FindByName(const std::string& ClassName);
    // Adds the class; returns the one already there when the type was registered before.
    static const TMetaClass& Add(std::unique_ptr<TMetaClass> Meta);
};

// Meta class of an object's dynamic type, or of its nearest registered ancestor.
const TMetaClass* MetaClassOf(const TPersistent& Object);

// An integer as the argument of an integer property's setter. A value that fits neither
// the type nor its unsigned twin (whose bit pattern it then stands for, as $FFFFFFFF does
// for an int) raises std::out_of_range instead of being cut to its low bits.
template <class Arg> Arg IntegerArgument(std::int64_t Value) {
    if constexpr (std::is_integral_v<Arg> && sizeof(Arg) < sizeof(std::int64_t)) {
        if (!std::in_range<Arg>(Value) && !std::in_range<std::make_unsigned_t<Arg>>(Value))
            throw std::out_of_range("integer " + std::to_string(Value) + " does not fit");
    }
    return static_cast<Arg>(Value);
}

// Collects the published properties of class C.
template <class C> class TPublisher {
public:
    explicit TPublisher(std::vector<TPropInfo>& Target) : FTarget(Target) {}

    template <class G, class S>
    TPublisher& Integer(std::string Name, G Getter, S Setter, std::int64_t Default = 0) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Integer, Default);
        p.Get = [Getter](const TPersistent& o) {
            return TValue(static_cast<std::int64_t>(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            using Arg = SetterArg<S>;
            std::invoke(Setter, Self(o), IntegerArgument<Arg>(v.As<std::int64_t>()));
        };
        return *this;
    }

    template <class G, class S>
    TPublisher& Float(std::string Name, G Getter, S Setter, double Default = 0.0) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Float, Default);
        p.Get = [Getter](const TPersistent& o) {
            return TValue(static_cast<double>(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            std::invoke(Setter, Self(o), v.As<double>());
        };
        return *this;
    }

    template <class G, class S>
    TPublisher& String(std::string Name, G Getter, S Setter, std::string Default = {}) {
        TPropInfo& p = Add(std::move(Name), TPropKind::String, TValue(std::move(Default)));
        p.Get = [Getter](const TPersistent& o) {
            return TValue(std::string(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            std::invoke(Setter, Self(o), v.As<std::string>());
        };
        return *this;
    }

    template <class G, class S>
    TPublisher& Bool(std::string Name, G Getter, S Setter, bool Default = false) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Bool, Default);
        p.Get = [Getter](const TPersistent& o) {
            return TValue(bool(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            std::invoke(Setter, Self(o), v.As<bool>());
        };
        return *this;
    }

    // An enumeration whose values are 0, 1, 2 ... named by Names in that order.
    template <class G, class S>
    TPublisher& Enum(std::string Name, G Getter, S Setter, std::vector<std::string> Names,
                     int Default = 0) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Enum, TValue(Default));
        p.EnumNames = std::move(Names);
        p.Get = [Getter](const TPersistent& o) {
            return TValue(static_cast<std::int64_t>(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            using Arg = SetterArg<S>;
            std::invoke(Setter, Self(o), static_cast<Arg>(v.As<std::int64_t>()));
        };
        return *this;
    }

    // A set over an enumeration: bit i stands for Names[i].
    template <class G, class S>
    TPublisher& Set(std::string Name, G Getter, S Setter, std::vector<std::string> Names,
                    unsigned Default = 0) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Set, TValue(std::int64_t(Default)));
        p.EnumNames = std::move(Names);
        p.Get = [Getter](const TPersistent& o) {
            return TValue(static_cast<std::int64_t>(std::invoke(Getter, Self(o))));
        };
        p.Set = [Setter](TPersistent& o, const TValue& v) {
            using Arg = SetterArg<S>;
            std::invoke(Setter, Self(o), static_cast<Arg>(v.As<std::int64_t>()));
        };
        return *this;
    }

    // A reference to another component of type T (never owning).
    template <class T, class G, class S>
    TPublisher& Component(std::string Name, G Getter, S Setter) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Component, TValue(TNil{}));
        p.Default = TValue(TIdent{});
        p.GetComponent = [Getter](const TPersistent& o) -> TComponent* {
            return std::invoke(Getter, Self(o));
        };
        p.SetComponent = [Setter, PropName = p.Name](TPersistent& o, TComponent* c) {
            T* typed = c ? dynamic_cast<T*>(c) : nullptr;
            if (c && !typed)
                throw std::invalid_argument("Component " + c->Name() + " has the wrong type for " +
                                            PropName);
            std::invoke(Setter, Self(o), typed);
        };
        return *this;
    }

    // A nested object whose own published properties are streamed as Name.Prop.
    template <class G> TPublisher& Object(std::string Name, G Getter) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Object, TValue(TNil{}));
        p.GetObject = [Getter](TPersistent& o) -> TPersistent* {
            return std::invoke(Getter, Self(o));
        };
        return *this;
    }

    // Any form value, passed through as it stands.
    template <class G, class S>
    TPublisher& Value(std::string Name, G Getter, S Setter, TValue Default = TNil{}) {
        TPropInfo& p = Add(std::move(Name), TPropKind::Value, std::move(Default));
        p.Get = [Getter](const TPersistent& o) { return TValue(std::invoke(Getter, Self(o))); };
        p.Set = [Setter](TPersistent& o, const TValue& v) { std::invoke(Setter, Self(o), v); };
        return *this;
    }

private:
    template <class S> struct SetterArgOf;
    template <class R, class K, class A> struct SetterArgOf<R (K::*)(A)> {
        using type = std::remove_cvref_t<A>;
    };
    template <class S> using SetterArg = typename SetterArgOf<S>::type;

    static C& Self(TPersistent& o) { return static_cast<C&>(o); }
    static const C& Self(const TPersistent& o) { return static_cast<const C&>(o); }

    TPropInfo& Add(std::string Name, TPropKind Kind, TValue Default) {
        for (TPropInfo& existing : FTarget) {
            if (existing.Name == Name) { // a redeclaration replaces the ancestor's entry
                existing = TPropInfo{};
                existing.Name = std::move(Name);
                existing.Kind = Kind;
                existing.Default = std::move(Default);
                return existing;
            }
        }
        FTarget.push_back(TPropInfo{});
        TPropInfo& p = FTarget.back();
        p.Name = std::move(Name);
        p.Kind = Kind;
        p.Default = std::move(Default);
        return p;
    }

    std::vector<TPropInfo>& FTarget;
};

// Registers class C under Name with its ancestor C::inherited (which must be registered
// before, unless it is TObject). Registering again returns the existing entry.
template <class C> const TMetaClass& RegisterClass(const std::string& Name) {
    static_assert(std::is_base_of_v<TPersistent, C>, "only persistent classes are registered");
    if (const TMetaClass* existing = TClassRegistry::Find(typeid(C)))
        return *existing;
    auto meta = std::make_unique<TMetaClass>();
    meta->ClassName = Name;
    meta->Type = typeid(C);
    using Parent = typename C::inherited;
    if constexpr (!std::is_same_v<Parent, TObject>) {
        meta->Parent = TClassRegistry::Find(typeid(Parent));
        if (!meta->Parent)
            throw std::logic_error("RegisterClass(" + Name + "): its ancestor is not registered");
        meta->Properties = meta->Parent->Properties;
    }
    if constexpr (requires(TPublisher<C> & p) { C::Publish(p); }) {
        TPublisher<C> publisher(meta->Properties);
        C::Publish(publisher);
    }
    meta->IsInstance = [](const TPersistent& o) {
        if constexpr (std::is_same_v<C, TPersistent>)
            return true;
        else
            return dynamic_cast<const C*>(&o) != nullptr;
    };
    if constexpr (std::is_base_of_v<TComponent, C> && !std::is_abstract_v<C> &&
                  std::is_constructible_v<C, TComponent*>) {
        meta->Create = [](TComponent* Owner) -> TComponent* { return new C(Owner); };
    }
    return TClassRegistry::Add(std::move(meta));
}

} // namespace qor
