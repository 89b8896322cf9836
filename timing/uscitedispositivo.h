#pragma once
#include <QtGlobal>

// The timing device's outputs for races: five start lights and the track-power relay.
class UsciteDispositivo {
public:
    virtual ~UsciteDispositivo() = default;
    // Lights 1-5 on for bits 0-4 of `luci`, the relay on or off. Returns at once:
    // false, and nothing is sent, when no device of the extended protocol is on the line.
    virtual bool impostaUscite(quint8 luci, bool rele) = 0;
};
