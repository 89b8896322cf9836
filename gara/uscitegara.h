#pragma once
#include <QtGlobal>

class UsciteDispositivo;

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

// The outputs of the device on the timing window's serial line. The device
// takes lights and relay in one request, so each call sends the other as last
// set; the track is powered until a start or a call says otherwise.
class UsciteSulDispositivo : public UsciteGara {
public:
    // No device (the window closed): every call is refused until one is set.
    void collega(UsciteDispositivo *dispositivo);
    UsciteDispositivo *collegato() const { return dispositivo_; }
    bool impostaLuci(int accese) override;
    bool impostaAlimentazione(bool accesa) override;

private:
    bool invia();

    UsciteDispositivo *dispositivo_ = nullptr;
    quint8 luci_ = 0;
    bool alimentazione_ = true;
};
