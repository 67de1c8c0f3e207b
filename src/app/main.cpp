#include <QApplication>
#include <QFileInfo>
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
    // The files named on the command line are opened as one image (several:
    // a bracket), with full paths, as the recent-file list keeps them.
    std::vector<std::string> files;
    for (const QString& argument : QApplication::arguments().mid(1))
        files.push_back(QFileInfo(argument).absoluteFilePath().toStdString());
    return qv::CQuorvelinApp().run(files);
}
