// The application object: runs the main window modally and ends when it closes.
#pragma once

class CVarnokQuilletApp {
public:
    // Shows the main window and returns when it has closed. Always false: there is no message
    // loop of the application's own after the main window.
    bool InitInstance();
};
