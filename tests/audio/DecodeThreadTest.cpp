// The decode thread over stand-in frame streams: conversion into the WAV writer, pause,
// stop while paused, stop before the start, peak scan and a failing sink.
#include "ConvertTestSupport.h"
#include "KvRecordTestSupport.h"
#include "PlaybackTestSupport.h"

#include <KvDecodeThread.h>
#include <KvRepackInfoPtrList.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace kvconvtest;
using kvplaytest::documentOf;
using kvplaytest::ScopedFrameStreams;

namespace {

QAudioFormat pcmFormat(int rate, int channels)
{
    QAudioFormat f;
    f.setSampleRate(rate);
    f.setChannelCount(channels);
    f.setSampleSize(16);
    f.setSampleType(QAudioFormat::SignedInt);
    f.setByteOrder(QAudioFormat::LittleEndian);
    f.setCodec("audio/pcm");
    return f;
}

std::unique_ptr<KvDecodeThread> wavThread(const DocPtr &doc, bool writeOutput = true)
{
    KvAudioLibPtr wav = writeOutput ? encoderFor("wav") : KvAudioLibPtr();
    return std::unique_ptr<KvDecodeThread>(new KvDecodeThread(
        doc, pcmFormat(44100, 2), wav, 2, 0, -1, 1.0, 2, 44100, writeOutput, 1.0, 0.0));
}

using kvtest::waitFor;

} // namespace

TEST(DecodeThread, ConvertsTheWholeListWithRisingProgress)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3");
    auto thread = wavThread(doc);
    QSignalSpy progress(thread.get(), SIGNAL(decodeProgress(int)));
    QSignalSpy volumes(thread.get(), SIGNAL(MaxVolumes(qint16, qint16)));
    thread->start();
    ASSERT_TRUE(thread->wait(60000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(thread->errorText().isEmpty()) << thread->errorText().toStdString();
    ASSERT_GE(progress.count(), 2);
    int last = -1;
    for (const QList<QVariant> &args : progress) {
        EXPECT_GT(args.at(0).toInt(), last);  // each value once, rising
        last = args.at(0).toInt();
    }
    EXPECT_GE(last, 99);
    ASSERT_EQ(volumes.count(), 1);
    EXPECT_GT(volumes.at(0).at(0).value<qint16>(), 0);
    // 12 s of stereo 16-bit PCM went into the sink.
    const double seconds = thread->outputLength() / 4.0 / 44100.0;
    EXPECT_NEAR(seconds, doc->totalFrames() * 1152 / 44100.0, 0.1);
    ASSERT_TRUE(thread->outputFile());
    // The WAV stream keeps room for its header.
    EXPECT_EQ(thread->outputFile()->size(), thread->outputLength() + 44);
}

TEST(DecodeThread, PausedReadsNothingAndStopEndsItPromptly)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    auto thread = wavThread(documentOf("vbr_v0_long.mp3"));
    thread->start();
    ASSERT_TRUE(waitFor([&] { return thread->outputLength() > 0; }, 20000));
    thread->setPaused(true);
    QThread::msleep(150);  // let the block under way finish
    const qint64 atPause = thread->outputLength();
    QThread::msleep(300);
    EXPECT_EQ(thread->outputLength(), atPause);
    EXPECT_TRUE(thread->isRunning());

    QElapsedTimer t;
    t.start();
    thread->requestStop();
    EXPECT_TRUE(thread->wait(5000));
    EXPECT_TRUE(thread->isFinished());
    // Ended long before the 50 s document could have been decoded.
    EXPECT_LT(thread->outputLength() / 4.0 / 44100.0, 45.0);
}

TEST(DecodeThread, ResumeGoesOnFromTheSamePlace)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3");
    auto thread = wavThread(doc);
    thread->setPaused(true);
    thread->start();
    QThread::msleep(200);
    EXPECT_EQ(thread->outputLength(), 0);
    thread->setPaused(false);
    ASSERT_TRUE(thread->wait(60000));
    EXPECT_NEAR(thread->outputLength() / 4.0 / 44100.0, doc->totalFrames() * 1152 / 44100.0, 0.1);
}

TEST(DecodeThread, StopBeforeStartSkipsDecodingButStillReports)
{
    ScopedMakers makers(true, false);
    ScopedFrameStreams streams;
    auto thread = wavThread(documentOf("cbr128_joint.mp3"));
    QSignalSpy volumes(thread.get(), SIGNAL(MaxVolumes(qint16, qint16)));
    thread->requestStop();
    thread->start();
    ASSERT_TRUE(thread->wait(10000));
    EXPECT_EQ(thread->outputLength(), 0);
    EXPECT_EQ(volumes.count(), 1);
    EXPECT_TRUE(thread->errorText().isEmpty());
}

TEST(DecodeThread, PeakScanHasNoSinkAndReportsLevels)
{
    ScopedFrameStreams streams;
    auto thread = wavThread(documentOf("tone1k_mono.mp3"), false);
    QSignalSpy volumes(thread.get(), SIGNAL(MaxVolumes(qint16, qint16)));
    thread->start();
    ASSERT_TRUE(thread->wait(30000));
    EXPECT_FALSE(thread->outputFile());
    EXPECT_EQ(thread->outputLength(), 0);
    ASSERT_EQ(volumes.count(), 1);
    // A sine at half scale.
    EXPECT_NEAR(volumes.at(0).at(0).value<qint16>(), 16384, 1500);
}

TEST(DecodeThread, FailingSinkEndsTheRunWithItsError)
{
    kvrectest::ScopedEncoders encoders(kvrectest::ScopedEncoders::LameOnly);
    ScopedDecoder decoder;
    kvrectest::ListEncoder::failOpenWith = QStringLiteral("no encoder here");
    ScopedFrameStreams streams;
    KvAudioLibPtr lame = createEncoders(KvAudioFrameReaderPtr(), true, "mp3").value(0);
    ASSERT_TRUE(lame);
    KvDecodeThread thread(documentOf("cbr128_joint.mp3"), pcmFormat(44100, 2), lame, 1, 0, 4, 1.0, 2,
                          44100, true, 1.0, 0.0);
    thread.start();
    ASSERT_TRUE(thread.wait(10000));
    EXPECT_TRUE(thread.errorText().contains("no encoder here")) << thread.errorText().toStdString();
    EXPECT_EQ(thread.outputLength(), 0);
}
