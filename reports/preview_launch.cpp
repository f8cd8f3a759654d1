#include "reports/preview_launch.h"

#include "platform/widgets/frame_services.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"

TPreviewForm* CreatePreviewWindow(TFrameServices& frame) {
    auto* form = new TPreviewForm;
    frame.AddChild(form);  // the frame's child window owns it from here
    PreviewForm = form;
    return form;
}

TPreviewForm* OpenAllSeriesPreview(TFrameServices& frame) {
    TPreviewForm* form = CreatePreviewWindow(frame);
    form->RPReport->Title = "Listing of All Series";
    form->RunReport();
    return form;
}
