#pragma once
// Reads the state the frame views draw with from the controller and the model.
#include "KvFrameGeometry.h"

class KvQmlController;
class KvQmlModel;
class QPainter;

// Defaults for what is missing. With a painter the controller's pixel ratio
// is first raised to the painter's device.
KvFrameViewState readFrameViewState(KvQmlController *controller, KvQmlModel *model, QPainter *painter);
