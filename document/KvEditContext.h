#pragma once

// What the document's undo commands update in the editing controller: the
// view position, the selection and the refreshes that follow an edit. The
// controller implements it; the document layer never sees the controller.
class KvEditContext
{
public:
    virtual ~KvEditContext() = default;

    // Whole frame shown first by the views.
    virtual double scrollFrame() const = 0;
    virtual void setScrollFrame(double frame) = 0;
    virtual double selectionStart() const = 0;
    virtual double selectionEnd() const = 0;
    virtual void setSelectionStart(double frame) = 0;
    virtual void setSelectionEnd(double frame) = 0;

    // Re-publishes the document state after a frame edit's redo or undo.
    virtual void refreshAfterUndo() = 0;
    // Recounts the tracks and announces that the track list changed.
    virtual void onTrackInfoUpdated() = 0;
    // Asks every view to repaint.
    virtual void requestWidgetUpdate() = 0;
};
