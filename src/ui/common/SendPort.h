#pragma once
// The seam through which a window other than the main window sends: the main window's sound
// path (its code player, on the wave output or the PC speaker) with the main window's tone,
// width and speed, as one send of the main window. While such a send holds the sending state,
// the main window's Start, random groups and live box wait, its Stop ends the send, and a
// recording it runs ends with it. The main window implements it; the other windows take it
// and never see the main window's class.
//
// A live key (the sending practice's paddle through the keyer) keys the transmitter of the
// main window's 무선기 키잉 through it too, while the window holds the sending state, so that
// the main window sends nothing on the air meanwhile.
//
// GUI thread only, as everything of the windows.

#include <QString>
#include <memory>

#include "rig/LiveKeyPath.h"
#include "rig/TransmitterKeyer.h"
#include "sound/CodePlayer.h"

namespace cwt {

class SendPort {
public:
    virtual ~SendPort() = default;

    // Takes the sending state for a send of the caller's. False, and nothing changes, while
    // the main window sends (or another window's send holds it).
    virtual bool beginSend() = 0;
    // True once the operator's Stop or a failure of the sound ended the send begun with
    // beginSend(), and whenever no such send is held. A window polls it between the pieces it
    // plays, as the main window looks at its own Stop between letters.
    virtual bool sendStopped() const = 0;
    // Ends the send begun with beginSend() and gives the sending state back; nothing when no
    // such send is held.
    virtual void endSend() = 0;

    // The player that sends through the main window's output. Only for a send held with
    // beginSend().
    virtual CodePlayer& codePlayer() = 0;
    // The tone and timing controls of the main window as a code string reads them when it
    // starts.
    virtual CodeSettings codeSettings() const = 0;
    // Samples per second of the wave output, which the unit's length in milliseconds depends on.
    virtual int outputSampleRate() const = 0;

    // Whether a live key would key the transmitter now (무선기 키잉 on a serial key line), and
    // why not in words (empty when it would).
    virtual TransmitterKeyer::LiveKeying liveKeying() const = 0;
    virtual QString liveKeyingRefusal() const = 0;
    // The key line a live keyer's thread keys the transmitter through. Only for a send held
    // with beginSend(): otherwise none.
    virtual std::shared_ptr<LiveKeyPath> liveKeyPath() = 0;
    // The live key's Stop: the key goes up at once and nothing handed over before is keyed.
    virtual void stopLive() = 0;
};

}  // namespace cwt
