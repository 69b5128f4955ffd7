#pragma once
// The repack state of one stream device and the calls that drive it.
#include <cstdint>
#include <memory>

class KvBitWriter;
class KvMp3ReservoirRepacker;

class KvMp3RepackHandle {
public:
    KvMp3RepackHandle();
    ~KvMp3RepackHandle();
    KvMp3RepackHandle(const KvMp3RepackHandle &) = delete;
    KvMp3RepackHandle &operator=(const KvMp3RepackHandle &) = delete;

    KvMp3ReservoirRepacker &state() { return *m_state; }
    const KvMp3ReservoirRepacker &state() const { return *m_state; }

    // At the start of every fragment (its first pre-roll frame, or its first
    // frame when it has none): empties the main-data ring and the FIFO. Frames
    // still waiting for their tail stay and are completed by the next payload.
    void reset();
    // Completes the waiting frame without parsing (after -11). Same results as
    // the frame step: 0, -11, or -8 when no frame was completed.
    int emitPending(KvBitWriter &writer);
    // After the last frame: completes one waiting frame per call, missing
    // payload bytes written as zeros. False when none was left.
    bool flush(KvBitWriter &writer);
    // Frames parsed but not yet completely written.
    int pendingFrames() const;
    // Turns stereo frames without mode extension into joint stereo when the
    // document holds joint-stereo frames.
    void setForceJointStereo(bool on);

private:
    std::unique_ptr<KvMp3ReservoirRepacker> m_state;
};
