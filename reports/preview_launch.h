#pragma once
// Opening preview windows in the frame window: the first step of every report
// command, and the All Series command built on it.

class TFrameServices;
class TPreviewForm;

// A new preview window in the frame's client area, shown, its tables open;
// it becomes the newest window (PreviewForm).
TPreviewForm* CreatePreviewWindow(TFrameServices& frame);

// The All Series command: "Listing of All Series" over every series.  Returns
// the window, which is already closing when the recording was cancelled or
// failed (a failure propagates after the window closed).
TPreviewForm* OpenAllSeriesPreview(TFrameServices& frame);
