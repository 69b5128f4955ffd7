#pragma once
#include "KvEditContext.h"

#include <QStringList>

// Records what the undo commands ask of the controller.
class KvFakeEditContext : public KvEditContext
{
public:
    double scroll = 0;
    double selStart = -1;
    double selEnd = -1;
    QStringList calls;

    double scrollFrame() const override { return scroll; }
    void setScrollFrame(double f) override
    {
        scroll = f;
        calls << QString("scroll %1").arg(qint64(f));
    }
    double selectionStart() const override { return selStart; }
    double selectionEnd() const override { return selEnd; }
    void setSelectionStart(double f) override { selStart = f; }
    void setSelectionEnd(double f) override { selEnd = f; }
    void refreshAfterUndo() override { calls << "refreshAfterUndo"; }
    void onTrackInfoUpdated() override { calls << "onTrackInfoUpdated"; }
    void requestWidgetUpdate() override { calls << "updateWidget"; }
};
