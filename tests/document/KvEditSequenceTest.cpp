// Random edit sequences judged by the frame model and exact snapshots.
#include "KvEditSequence.h"

#include <gtest/gtest.h>

using namespace kvtest;

namespace {

class EditSequences : public ::testing::TestWithParam<quint32>
{
};

TEST_P(EditSequences, MatchTheModelAndUndoAndRedoExactly)
{
    EditSequence sequence(GetParam());
    sequence.run(150);
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditSequences, ::testing::Range(quint32(1), quint32(25)));

} // namespace
