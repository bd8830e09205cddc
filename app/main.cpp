// The tanvill executable: starts the application and runs its event loop.
#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tanvill"));
    QApplication::setOrganizationDomain(QStringLiteral("tanvill.com"));
    return QApplication::exec();
}
