#include "reports/preview_launch.h"

#include "app/main_form.h"
#include "reportengine/report_filer.h"
#include "reports/preview_form.h"

TPreviewForm* CreatePreviewWindow(TMainForm& frame) {
    auto* form = new TPreviewForm;
    frame.AddChild(form);  // the frame's child window owns it from here
    PreviewForm = form;
    return form;
}

TPreviewForm* OpenAllSeriesPreview(TMainForm& frame) {
    TPreviewForm* form = CreatePreviewWindow(frame);
    form->RPReport->Title = "Listing of All Series";
    form->RunReport();
    return form;
}
