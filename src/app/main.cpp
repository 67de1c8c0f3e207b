#include <QApplication>
#include <QIcon>
#include <string>
#include <vector>

#include "app/quorvelin_app.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quorvelin"));
    QApplication::setApplicationName(QStringLiteral("Quorvelin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvelin.png")));
    // The files named on the command line are opened as one image (several: a bracket).
    std::vector<std::string> files;
    for (const QString& argument : QApplication::arguments().mid(1))
        files.push_back(argument.toStdString());
    return qv::CQuorvelinApp().run(files);
}
