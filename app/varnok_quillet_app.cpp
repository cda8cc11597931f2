#include "app/varnok_quillet_app.h"

#include "app/varnok_quillet_dlg.h"
#include "platform/qt_trace.h"

bool CVarnokQuilletApp::InitInstance() {
    InstallQtTraceSink();
    {
        CVarnokQuilletDlg dlg;
        dlg.exec();
    }
    return false;
}
