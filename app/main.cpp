#include "QtPrompts.h"
#include "frmMain.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Krellin"));
    QApplication::setApplicationName(QStringLiteral("Krellin"));
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("krellin"));
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    QtPrompts prompts;
    frmMain window(prompts);
    window.show();
    return QApplication::exec();
}
