#pragma once
// Ordered lists of text lines: the abstract TStrings, the stored TStringList and the
// THashedStringList that finds lines and names in constant time.
//
// A line "name=value" has the name part before its first '=' and the value after it; a
// line without '=' has an empty name and is never found by name. Texts are narrow byte
// strings; case-insensitive comparison follows the process's character locale
// (TextCompare.h).

#include "framework/Component.h"
#include "framework/LineIndex.h"
#include "framework/LineStore.h"
#include "framework/NotifyEvent.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

// Raised for an index outside the list.
class EStringListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

class TStrings : public TPersistent {
public:
    using inherited = TPersistent;

    int Count() const { return GetCount(); }
    std::string Strings(int Index) const { return Get(Index); }
    std::string operator[](int Index) const { return Get(Index); }
    void SetStrings(int Index, const std::string& S) { Put(Index, S); }

    // Appends S and returns its index.
    virtual int Add(const std::string& S);
    // Inserts S before Index; Index == Count appends.
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;

    // Index of the first line equal to S (CompareStrings), or -1.
    virtual int IndexOf(std::string_view S) const;
    // Index of the first line whose name part equals Name (CompareStrings), or -1.
    virtual int IndexOfName(std::string_view Name) const;

    // Name part of line Index: the text before its first '=', empty when there is none.
    std::string Names(int Index) const;
    // Value part of line Index: the text after its first '=', empty when there is none.
    std::string ValueFromIndex(int Index) const;
    // Value of the first line named Name, or empty.
    std::string Values(std::string_view Name) const;
    // Replaces the first line named Name by "Name=Value", appends it when there is none,
    // and deletes that line when Value is empty.
    void SetValues(std::string_view Name, std::string_view Value);

    // Update brackets nest; the list reports changes only once the outermost one closes.
    // An EndUpdate without BeginUpdate is ignored.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Every line followed by CR LF.
    std::string Text() const;
    // Replaces the lines by those of Value, split at CR LF, CR or LF. A line break at the
    // very end does not start another line.
    void SetText(std::string_view Value);

    // Appends every line of Strings (which may be this list).
    void AddStrings(const TStrings& Strings);
    // Makes this list a copy of Source's lines.
    virtual void Assign(const TStrings& Source);

    // Writes Text() byte for byte; raises EFCreateError when the file cannot be written.
    void SaveToFile(const std::string& FileName) const;
    // Replaces the lines by the file's, as SetText; raises EFOpenError when it cannot be
    // read.
    void LoadFromFile(const std::string& FileName);

protected:
    virtual std::string Get(int Index) const = 0;
    virtual int GetCount() const = 0;
    // The default replaces the line by deleting and inserting it.
    virtual void Put(int Index, const std::string& S);
    // Told when the outermost update bracket opens (true) and closes (false).
    virtual void SetUpdateState(bool /*Updating*/) {}
    // Negative, zero or positive as S1 sorts before, with or after S2. Case-insensitive
    // here; TStringList can make it case-sensitive.
    virtual int CompareStrings(std::string_view S1, std::string_view S2) const;

private:
    int FUpdateCount = 0;
};

// Keeps a list in an update bracket for the life of the guard, so EndUpdate runs even
// when filling the list fails.
class TStringsUpdate {
public:
    explicit TStringsUpdate(TStrings& Strings) : FStrings(Strings) { FStrings.BeginUpdate(); }
    ~TStringsUpdate() { FStrings.EndUpdate(); }
    TStringsUpdate(const TStringsUpdate&) = delete;
    TStringsUpdate& operator=(const TStringsUpdate&) = delete;

private:
    TStrings& FStrings;
};

// Lines stored in memory in the order given.
class TStringList : public TStrings {
public:
    using inherited = TStrings;

    TStringList() = default;

    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    // Orders the lines by CompareStrings; equal lines keep their order.
    virtual void Sort();

    // Off by default: lines and names compare ignoring case.
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool Value);

    // OnChanging fires before and OnChange after each change, or once around an update
    // bracket: OnChanging when it opens and OnChange when it closes.
    void SetOnChange(TNotifyEvent Handler) { FOnChange = std::move(Handler); }
    void SetOnChanging(TNotifyEvent Handler) { FOnChanging = std::move(Handler); }

    // Line Index as stored, read without copying it; valid until the list changes.
    std::string_view Line(int Index) const {
        CheckIndex(Index, static_cast<int>(FList.Count()));
        return FList[static_cast<std::size_t>(Index)];
    }

protected:
    std::string Get(int Index) const override;
    int GetCount() const override;
    void Put(int Index, const std::string& S) override;
    void SetUpdateState(bool Updating) override;
    int CompareStrings(std::string_view S1, std::string_view S2) const override;

    virtual void Changing();
    virtual void Changed();

    // Told right after the stored lines changed and before OnChange, so that a derived
    // index follows every change even when a handler raises.
    virtual void LineInserted(int /*Index*/) {}
    virtual void LineDeleted(int /*Index*/, std::string_view /*OldLine*/) {}
    virtual void LineReplaced(int /*Index*/, std::string_view /*OldLine*/) {}
    // Positions or comparison of all lines may have changed (Clear, Sort, case
    // sensitivity).
    virtual void LinesReset() {}

    // The stored lines, for an index that follows them.
    const TLineStore& Store() const { return FList; }

private:
    void CheckIndex(int Index, int Limit) const {
        if (Index < 0 || Index >= Limit)
            RaiseIndexError(Index);
    }
    [[noreturn]] static void RaiseIndexError(int Index);

    TLineStore FList;
    bool FCaseSensitive = false;
    TNotifyEvent FOnChange;
    TNotifyEvent FOnChanging;
};

// A TStringList whose IndexOf and IndexOfName use hash indexes (see LineIndex.h for the
// costs). Each index is built on its first look-up and from then on follows every edit:
// appends and in-place edits cost O(1); an insert or delete before the end makes the
// lines after it unindexed until a look-up needs them, which then indexes those lines
// once. Both look-ups still return the first match in list order. Since a look-up may
// complete an index, even look-ups of one list must not run on two threads at once.
class THashedStringList : public TStringList {
public:
    using inherited = TStringList;

    THashedStringList();

    int IndexOf(std::string_view S) const override;
    int IndexOfName(std::string_view Name) const override;

protected:
    void LineInserted(int Index) override;
    void LineDeleted(int Index, std::string_view OldLine) override;
    void LineReplaced(int Index, std::string_view OldLine) override;
    void LinesReset() override;

private:
    // Runs an index update; an index that fails to follow forgets everything instead, and
    // is rebuilt by the next look-up, so it never answers from a wrong state.
    template <class F> void Follow(F&& Update) noexcept;

    // Look-ups complete the indexes, which does not change the list.
    mutable TLineIndex FValueIndex;
    mutable TLineIndex FNameIndex;
};

} // namespace qor
