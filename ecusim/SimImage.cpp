#include "ecusim/SimImage.h"

#include <algorithm>
#include <cmath>

namespace qor::ecusim {

SimImage::SimImage() : FMemory(MemorySize, 0) {}

const SimItem* SimImage::Find(int Code) const {
    for (const SimItem& item : FItems)
        if (item.Code == Code)
            return &item;
    return nullptr;
}

std::optional<std::string> SimImage::Add(const SimItem& Item) {
    if (Find(Item.Code))
        return "serial code " + std::to_string(Item.Code) + " is used twice";
    if (!InMemory(Item.Address, Item.Bytes()))
        return "item " + Item.Name + " does not fit into the memory";
    for (const SimItem& other : FItems) {
        bool apart = Item.Address + Item.Bytes() <= other.Address ||
                     other.Address + other.Bytes() <= Item.Address;
        if (!apart)
            return "item " + Item.Name + " overlaps item " + other.Name;
    }
    FItems.push_back(Item);
    return std::nullopt;
}

std::int32_t SimImage::Load(std::uint32_t Address, int Width, bool Signed) const {
    std::uint32_t raw = FMemory[Address];
    if (Width == 2)
        raw |= std::uint32_t(FMemory[Address + 1]) << 8;
    if (!Signed)
        return static_cast<std::int32_t>(raw);
    return Width == 2 ? static_cast<std::int16_t>(raw) : static_cast<std::int8_t>(raw);
}

void SimImage::Store(std::uint32_t Address, int Width, std::int32_t Value) {
    auto bits = static_cast<std::uint32_t>(Value);
    FMemory[Address] = static_cast<std::uint8_t>(bits & 0xFF);
    if (Width == 2)
        FMemory[Address + 1] = static_cast<std::uint8_t>((bits >> 8) & 0xFF);
}

std::int32_t SimImage::Get(const SimItem& Item, int Index) const {
    return Load(Item.Address + std::uint32_t(Index * Item.Width), Item.Width, Item.Signed);
}

void SimImage::Set(const SimItem& Item, int Index, std::int32_t Value) {
    Store(Item.Address + std::uint32_t(Index * Item.Width), Item.Width, Value);
}

void SimImage::StepLive() {
    ++FLiveStep;
    const double t = FLiveStep;
    auto clampByte = [](double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 255); };
    const int speed = static_cast<int>(std::lround(2600 + 1800 * std::sin(t * 0.05)));
    const int load = clampByte(45 + 35 * std::sin(t * 0.031 + 1.0));
    const int coolant = clampByte(40 + std::min(90.0, 20 + t / 8)); // +40 offset
    const int throttle = clampByte(30 + 28 * std::sin(t * 0.047 + 0.5));
    for (const SimItem& item : FItems) {
        if (!item.Live)
            continue;
        const std::uint8_t bytes[5] = {
            static_cast<std::uint8_t>(speed & 0xFF), static_cast<std::uint8_t>(speed >> 8),
            static_cast<std::uint8_t>(load), static_cast<std::uint8_t>(coolant),
            static_cast<std::uint8_t>(throttle)};
        std::copy(bytes, bytes + std::min(5, item.Cols), FMemory.begin() + item.Address);
    }
}

namespace {

SimItem MakeItem(std::string Name, int Code, ItemKind Kind, int Rows, int Cols, int Width,
                 bool Signed, std::uint32_t Address) {
    SimItem item;
    item.Name = std::move(Name);
    item.Code = Code;
    item.Kind = Kind;
    item.Rows = Rows;
    item.Cols = Cols;
    item.Width = Width;
    item.Signed = Signed;
    item.Address = Address;
    return item;
}

} // namespace

SimImage DefaultImage() {
    using namespace image;
    SimImage img;
    auto add = [&img](const SimItem& item) { img.Add(item); };
    add(MakeItem("SpeedAxis", SpeedAxis, ItemKind::Vector, 1, 16, 2, false, 0x0000));
    add(MakeItem("LoadAxis", LoadAxis, ItemKind::Vector, 1, 16, 1, false, 0x0020));
    add(MakeItem("IgnitionMap", IgnitionMap, ItemKind::Map, 16, 16, 1, true, 0x0100));
    add(MakeItem("FuelMap", FuelMap, ItemKind::Map, 16, 16, 2, false, 0x0200));
    add(MakeItem("IdleSpeed", IdleSpeed, ItemKind::Value, 1, 1, 2, false, 0x0400));
    add(MakeItem("RevLimit", RevLimit, ItemKind::Value, 1, 1, 2, false, 0x0402));
    add(MakeItem("FanOnTemp", FanOnTemp, ItemKind::Value, 1, 1, 1, false, 0x0404));
    add(MakeItem("InjectorTrim", InjectorTrim, ItemKind::Value, 1, 1, 2, true, 0x0406));
    add(MakeItem("WarmupEnrich", WarmupEnrich, ItemKind::Vector, 1, 8, 1, false, 0x0410));
    add(MakeItem("CrankingFuel", CrankingFuel, ItemKind::Map, 8, 1, 2, false, 0x0420));
    SimItem live = MakeItem("LivePacket", LivePacket, ItemKind::Packet, 1, 5, 1, false, 0x0800);
    live.Live = true;
    add(live);

    const SimItem& speed = *img.Find(SpeedAxis);
    const SimItem& load = *img.Find(LoadAxis);
    for (int i = 0; i < 16; ++i) {
        img.Set(speed, i, 500 + 500 * i); // 500 .. 8000 rpm
        img.Set(load, i, 10 + 6 * i);     // 10 .. 100 %
    }
    const SimItem& ignition = *img.Find(IgnitionMap);
    const SimItem& fuel = *img.Find(FuelMap);
    for (int r = 0; r < 16; ++r) {     // rows: load
        for (int c = 0; c < 16; ++c) { // columns: engine speed
            // More advance at high speed and low load, retarded under heavy load.
            img.Set(ignition, r * 16 + c, std::clamp(8 + c * 2 - r * 2, -10, 45));
            img.Set(fuel, r * 16 + c, 1500 + r * 420 + c * 60);
        }
    }
    img.Set(*img.Find(IdleSpeed), 0, 850);
    img.Set(*img.Find(RevLimit), 0, 6800);
    img.Set(*img.Find(FanOnTemp), 0, 95 + 40);
    img.Set(*img.Find(InjectorTrim), 0, -12);
    const int warmup[8] = {160, 145, 130, 118, 110, 105, 102, 100};
    for (int i = 0; i < 8; ++i)
        img.Set(*img.Find(WarmupEnrich), i, warmup[i]);
    for (int i = 0; i < 8; ++i)
        img.Set(*img.Find(CrankingFuel), i, 9000 - 800 * i);
    img.StepLive();
    return img;
}

} // namespace qor::ecusim
