#pragma once
// The ECU image the simulator serves: data items by serial code, laid out in a
// byte-addressed memory (little-endian), so that item operations and address operations
// see the same bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qor::ecusim {

enum class ItemKind { Value, Vector, Map, Packet };

struct SimItem {
    std::string Name;
    int Code = 0;
    ItemKind Kind = ItemKind::Value;
    int Rows = 1;
    int Cols = 1;  // values per row; vector length; packet length in bytes
    int Width = 1; // bytes per value
    bool Signed = false;
    std::uint32_t Address = 0;
    bool Live = false; // a packet whose bytes move on at every read

    int Elements() const { return Rows * Cols; }
    std::uint32_t Bytes() const { return static_cast<std::uint32_t>(Elements() * Width); }
};

class SimImage {
public:
    static constexpr std::uint32_t MemorySize = 0x10000;

    SimImage();

    // Items by serial code; null when there is none.
    const SimItem* Find(int Code) const;
    const std::vector<SimItem>& Items() const { return FItems; }
    // Adds an item; returns an error text when its code is taken, it leaves the memory or
    // it overlaps another item.
    std::optional<std::string> Add(const SimItem& Item);

    std::int32_t Get(const SimItem& Item, int Index) const;
    void Set(const SimItem& Item, int Index, std::int32_t Value);

    // Value of Width bytes at Address; the caller checks the range.
    std::int32_t Load(std::uint32_t Address, int Width, bool Signed) const;
    void Store(std::uint32_t Address, int Width, std::int32_t Value);
    bool InMemory(std::uint32_t Address, std::uint32_t Count) const {
        return Address <= MemorySize && Count <= MemorySize - Address;
    }

    std::vector<std::uint8_t>& Memory() { return FMemory; }
    const std::vector<std::uint8_t>& Memory() const { return FMemory; }

    // Moves the live packet(s) on by one step.
    void StepLive();

private:
    std::vector<SimItem> FItems;
    std::vector<std::uint8_t> FMemory;
    std::uint32_t FLiveStep = 0;
};

// Serial codes and layout of the built-in image (a small engine ECU).
namespace image {
constexpr int SpeedAxis = 0x01;    // vector u16 x16, engine speed in rpm
constexpr int LoadAxis = 0x02;     // vector u8 x16, load in percent
constexpr int IgnitionMap = 0x03;  // map s8 16x16, advance in degrees
constexpr int FuelMap = 0x04;      // map u16 16x16, injection time in microseconds
constexpr int IdleSpeed = 0x05;    // value u16, rpm
constexpr int RevLimit = 0x06;     // value u16, rpm
constexpr int FanOnTemp = 0x07;    // value u8, coolant temperature + 40
constexpr int InjectorTrim = 0x08; // value s16
constexpr int WarmupEnrich = 0x09; // vector u8 x8, percent
constexpr int CrankingFuel = 0x0A; // map u16 8x1 (one column)
constexpr int LivePacket = 0x20;   // packet of 5 bytes: speed u16, load, coolant + 40, throttle
} // namespace image

SimImage DefaultImage();

// Parses the text format described in ecusim/README.md. Errors name the line.
struct ParseResult {
    std::optional<SimImage> Image;
    std::string Error;
};
ParseResult ParseImage(const std::string& Text);
ParseResult LoadImageFile(const std::string& Path);

} // namespace qor::ecusim
