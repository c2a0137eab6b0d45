#pragma once
// Targets for refresh tests: a refresh target that records each buffer it is handed, and
// a control that records its messages.

#include "framework/Control.h"
#include "link/RefreshTarget.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace qor::test {

class TRecordingTarget : public TComponent, public TRefreshTarget {
public:
    using TComponent::TComponent;

    void DecodePacket(const std::uint8_t* Data) override {
        Buffers.push_back(Data);
        std::int32_t length;
        std::memcpy(&length, Data, sizeof length);
        Packets.emplace_back(Data + 4, Data + 4 + (length > 0 && length <= 252 ? length : 0));
        if (OnDecode)
            OnDecode();
    }

    std::vector<const std::uint8_t*> Buffers;       // address of each buffer handed in
    std::vector<std::vector<std::uint8_t>> Packets; // its data bytes, read as a packet
    std::function<void()> OnDecode;
};

class TRecordingControl : public TControl {
public:
    using TControl::TControl;
    std::vector<TMessage> Messages;

protected:
    void Dispatch(TMessage& Message) override { Messages.push_back(Message); }
};

} // namespace qor::test
