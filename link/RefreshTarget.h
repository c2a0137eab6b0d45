#pragma once
// What the refresh pass hands freshly read bytes to. The link layer cannot know the data
// components above it, so they implement this small interface and the pass calls it.

#include <cstdint>

namespace qor {

class TRefreshTarget {
public:
    // Called on the main thread with the buffer just read for the registration: for a
    // packet a little-endian int32 length followed by the data bytes, for an array the
    // int32 raw values, otherwise one int32 raw value.
    virtual void DecodePacket(const std::uint8_t* Data) = 0;

protected:
    TRefreshTarget() = default;
    TRefreshTarget(const TRefreshTarget&) = default;
    TRefreshTarget& operator=(const TRefreshTarget&) = default;
    // Never destroyed through this interface.
    ~TRefreshTarget() = default;
};

} // namespace qor
