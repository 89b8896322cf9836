#pragma once

// The timing device's race outputs: the five start lights and the track-power
// relay. Each call returns at once (the device is written from its own
// thread) and says whether the device has the output; a device without them
// (the classic protocol, or none at all) is the null one, and the race goes on
// with the lights drawn on the screen.
class UsciteGara {
public:
    virtual ~UsciteGara() = default;
    virtual bool impostaLuci(int accese) = 0;          // 0 to 5, from the left
    virtual bool impostaAlimentazione(bool accesa) = 0; // the relay on the track's power
};

class UsciteNulle : public UsciteGara {
public:
    bool impostaLuci(int) override { return false; }
    bool impostaAlimentazione(bool) override { return false; }
};
