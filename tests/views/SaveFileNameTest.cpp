// The save dialog routine shared by export, recording and conversion.
#include "KvRecordTestSupport.h"

#include <KvQmlController.h>
#include <KvTestSupport.h>

#include <QMessageBox>

#include <gtest/gtest.h>

using namespace kvrectest;

TEST(SaveFileName, TypedNameWithoutSuffixGetsTheFormatsSuffix)
{
    struct Case {
        const char *format;
        const char *suffix;
    };
    const Case cases[] = {{"mp3", ".mp3"}, {"aac", ".m4a"}, {"m4a", ".m4a"}, {"wav", ".wav"},
                          {"kvlproj", ".kvlproj"}, {"adts", ".aac"}};
    for (const Case &c : cases) {
        kvtest::TempDir dir;
        ModalResponder responder;
        responder.answerFiles({dir.file("take")});
        const QString name = KvQmlController::getAudioSaveFileName(nullptr, "Save Recorded Audio", dir.path(), c.format);
        EXPECT_EQ(name, dir.file(QString("take") + c.suffix)) << c.format;
        EXPECT_TRUE(responder.boxTexts.isEmpty());
    }
}

TEST(SaveFileName, CompletedNameOfAnExistingFileAsksBeforeOverwriting)
{
    kvtest::TempDir dir;
    ASSERT_TRUE(kvtest::writeFile(dir.file("take.mp3"), "x"));
    for (int answer : {int(QMessageBox::No), int(QMessageBox::Yes)}) {
        ModalResponder responder;
        responder.answerFiles({dir.file("take")});
        responder.answerBoxes({answer});
        const QString name = KvQmlController::getAudioSaveFileName(nullptr, "Export", dir.path(), "mp3");
        EXPECT_EQ(name, answer == QMessageBox::Yes ? dir.file("take.mp3") : QString());
        ASSERT_EQ(responder.boxTexts.size(), 1);
        EXPECT_EQ(responder.boxTexts.first(), "The file \"take.mp3\" already exists, Do you wish to overwrite it?");
    }
}

TEST(SaveFileName, CancelGivesNoName)
{
    kvtest::TempDir dir;
    ModalResponder responder;
    responder.answerFiles({QString()});
    EXPECT_TRUE(KvQmlController::getAudioSaveFileName(nullptr, "Export", dir.path(), "mp3").isEmpty());
}
