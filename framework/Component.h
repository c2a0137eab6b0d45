#pragma once
// Components: ownership, names, component state and free notification.
//
// A component created with an owner is destroyed by that owner (last created first).
// References between components never own; a component that refers to another asks for
// its free notification and clears the reference in Notification(x, opRemove).

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qor {

class TFiler;
template <class C> class TPublisher;

// Root of the class tree. ClassName comes from the class registry (see Properties.h).
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    std::string ClassName() const;
};

// An object whose published properties can be streamed.
class TPersistent : public TObject {
public:
    using inherited = TObject;

    // Hook for properties that are streamed besides the published ones.
    virtual void DefineProperties(TFiler& Filer);
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
};

// A set of TComponentStateFlag values.
class TComponentState {
public:
    constexpr TComponentState() = default;
    constexpr bool Contains(TComponentStateFlag f) const { return (Bits & f) != 0; }
    constexpr void Include(TComponentStateFlag f) { Bits |= f; }
    constexpr void Exclude(TComponentStateFlag f) { Bits &= ~static_cast<unsigned>(f); }
    constexpr bool Empty() const { return Bits == 0; }

private:
    unsigned Bits = 0;
};

// Raised for misuse of components, such as a duplicate or malformed name.
class EComponentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TComponent;

// The components a component tells of its destruction, in the order they asked. Adding,
// removing and looking one up take constant time on average however many there are (a
// connection that thousands of data items refer to), and a small list stays a plain array.
class TNotifyList {
public:
    bool Empty() const { return FLive == 0; }
    bool Contains(TComponent* C) const;
    // False when C is there already.
    bool Add(TComponent* C);
    void Remove(TComponent* C);
    // Takes the one that asked last.
    TComponent* PopBack();

private:
    static constexpr std::size_t IndexFrom = 16; // entries from which the index is kept
    std::ptrdiff_t Find(TComponent* C) const;
    void Compact();

    std::vector<TComponent*> FItems; // removed entries are null until the next Compact
    std::unordered_map<TComponent*, std::size_t> FIndex; // kept while FItems is large
    std::size_t FLive = 0;
};

// Tells whether a component was destroyed while the watch lived. An operation that calls
// out to application code (an event handler, a client's message) holds one on the stack
// and stops touching the component when the handler destroyed it. Costs no allocation.
class TComponentWatch {
public:
    explicit TComponentWatch(TComponent* Component);
    ~TComponentWatch();
    TComponentWatch(const TComponentWatch&) = delete;
    TComponentWatch& operator=(const TComponentWatch&) = delete;

    bool Destroyed() const { return FComponent == nullptr; }

private:
    friend class TComponent;
    TComponent* FComponent;
    TComponentWatch* FNext = nullptr;
};

class TComponent : public TPersistent {
public:
    using inherited = TPersistent;

    // Inserts the new component into AOwner's list; AOwner (when not null) destroys it.
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    const std::string& Name() const { return FName; }
    // A valid identifier (or empty) that no sibling of the same owner has; raises
    // EComponentError otherwise.
    void SetName(const std::string& NewName);

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const { return FComponents.at(Index); }
    // Owned component of that name (case-insensitive), or null.
    TComponent* FindComponent(const std::string& AName) const;

    TComponentState ComponentState() const { return FComponentState; }
    // Design mode passes to every owned component, present and future.
    void SetDesigning(bool Value);
    // Marks the component as being loaded from a form until Loaded (or EndLoading, when
    // reading fails) clears the mark.
    void BeginLoading();
    void EndLoading();

    // Asks for mutual free notification: each side is told before the other is destroyed.
    // Components of the same owner ask too: besides those who asked, only the owner hears
    // of a component's arrival and destruction, so that neither costs more with many
    // siblings.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Published: Tag.
    static void Publish(TPublisher<TComponent>& P);

    // Tag for the application.
    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t Value) { FTag = Value; }

    // Children written nested under this component in a form file. The default is the
    // parent component below; visual controls answer their parent control.
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual void SetParentComponent(TComponent* /*Value*/) {}

    // Called once after a form holding the component has been read. Clears csLoading.
    virtual void Loaded();

    // Marks the component as being destroyed. Derived destructors may call it first.
    void Destroying();

protected:
    // Told of a component that was inserted into the owner tree or that is being
    // destroyed. Overrides call the inherited version first.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

private:
    friend class TNotificationBroadcast;
    friend class TComponentWatch;

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void ForgetName(const TComponent& Child);
    void DestroyComponents();
    void AddNotify(TComponent* AComponent);
    void RemoveNotify(TComponent* AComponent);

    struct TNameHash {
        std::size_t operator()(std::string_view s) const;
    };
    struct TNameEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    std::string FName;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    // Owned components by name, so that naming and finding one do not walk the list.
    std::unordered_map<std::string, TComponent*, TNameHash, TNameEqual> FNames;
    TNotifyList FFreeNotifies;
    TComponentState FComponentState;
    std::intptr_t FTag = 0;
    TComponentWatch* FWatches = nullptr; // watches on the stack, innermost first
};

} // namespace qor
