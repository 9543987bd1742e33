#include "app/AppSetup.h"
#include "app/PublicADO.h"
#include "app/login/Form1.h"
#include "ui/main/Form2.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(SUOWUTONG_VERSION));  // set once, in CMakeLists.txt
    AppSetup::prepare(app);
    PublicADO::Main();
    const int code = QApplication::exec();
    // The windows go before the application object they belong to.
    Form2::unload();
    Form1::unload();
    return code;
}
