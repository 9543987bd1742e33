// The start-up procedure of PublicADO, apart from the shared state: it is the one piece of app/
// below the entry point that knows the login window, which sits above everything else.
#include "PublicADO.h"
#include "app/login/Form1.h"

void PublicADO::Main()
{
    // The tab control of the main window is QTabWidget, part of Qt itself: nothing has to be
    // written or registered before the main window can use it, so start-up goes straight on
    // to the login window.
    Form1::instance().show();
}
