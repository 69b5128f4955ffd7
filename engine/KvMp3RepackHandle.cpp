#include "KvMp3RepackHandle.h"

#include "KvMP3FrameRepacker.h"
#include "KvMp3FrameStep.h"
#include "KvMp3ReservoirRepacker.h"

KvMp3RepackHandle::KvMp3RepackHandle() : m_state(new KvMp3ReservoirRepacker) {}

KvMp3RepackHandle::~KvMp3RepackHandle() = default;

void KvMp3RepackHandle::reset()
{
    m_state->reset();
}

int KvMp3RepackHandle::emitPending(KvBitWriter &writer)
{
    bool emitted = false;
    const int r = m_state->emitFrame(&writer, emitted);
    return emitted ? r : int(KvMp3StepNeedMore);
}

bool KvMp3RepackHandle::flush(KvBitWriter &writer)
{
    return m_state->flush(writer);
}

int KvMp3RepackHandle::pendingFrames() const
{
    return m_state->pendingFrames();
}

void KvMp3RepackHandle::setForceJointStereo(bool on)
{
    m_state->forceJointStereo = on ? 1 : 0;
}

int KvMP3FrameRepacker::parseFrameAt(KvMp3RepackHandle &handle, KvMp3InputBuffer &in, KvBitWriter *writer,
                                     KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format)
{
    KvMp3ReservoirRepacker &st = handle.state();
    const int r = KvMp3FrameStep(in, st, writer, ctx, format);
    return r == KvMp3StepOk && st.endOfStream ? int(KvMp3StepFifoPending) : r;
}
