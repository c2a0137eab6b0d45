#pragma once
// The lines of a string list, kept in one text buffer.
//
// Each line is a place (offset and length) in a buffer that only grows at its end: an
// insert or a replace appends the line's text, a delete or a replace leaves the old text
// behind as waste. Storing a line thus costs no allocation of its own (a list of 65,000
// short INI lines had spent more time in the allocator than in anything else), and the
// lines of a list lie next to each other in memory. Once the waste outgrows the live
// text, the next edit copies the live lines into a fresh buffer, so that replacing one
// line again and again keeps the buffer at most about twice the live text.
//
// The views that operator[] and the edits return stay valid until the next edit. A store
// holds at most 4 GiB of text, waste included; an edit beyond raises std::length_error.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

class TLineStore {
public:
    std::size_t Count() const { return FPlaces.size(); }
    bool Empty() const { return FPlaces.empty(); }
    std::string_view operator[](std::size_t Index) const { return View(FPlaces[Index]); }

    // Inserts Line before Index (Index == Count appends). Line may view this store's text.
    void Insert(std::size_t Index, std::string_view Line);
    // Replaces line Index by Line and returns the old line's text.
    std::string_view Replace(std::size_t Index, std::string_view Line);
    // Removes line Index and returns its text.
    std::string_view Erase(std::size_t Index);
    // Removes every line and gives the buffers back.
    void Clear() noexcept;

    // Orders the lines by Less (two string views); equal lines keep their order.
    template <class TLess> void StableSort(TLess&& Less) {
        std::stable_sort(FPlaces.begin(), FPlaces.end(),
                         [&](const TPlace& A, const TPlace& B) { return Less(View(A), View(B)); });
    }

private:
    // 8 bytes a line: the places of a large list are half of what it walks.
    struct TPlace {
        std::uint32_t Offset;
        std::uint32_t Length;
    };

    std::string_view View(const TPlace& P) const { return {FText.data() + P.Offset, P.Length}; }
    // Whether Line lies in the buffer, which an edit may move.
    bool InBuffer(std::string_view Line) const;
    // Copies the live lines into a fresh buffer once the waste outgrows them.
    void CompactWhenWasteful();
    // Appends Line's text to the buffer and returns where it went.
    TPlace AppendText(std::string_view Line);

    std::string FText;
    std::vector<TPlace> FPlaces;
    std::size_t FWaste = 0; // bytes of FText that no line uses
};

} // namespace qor
