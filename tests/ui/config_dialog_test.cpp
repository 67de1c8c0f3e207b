#include "ui/config_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "support/qt_application.h"

namespace qv {
namespace {

template <class Widget>
Widget* findByText(QWidget& dialog, const QString& text)
{
    for (Widget* w : dialog.findChildren<Widget*>())
        if (w->text() == text)
            return w;
    ADD_FAILURE() << text.toStdString();
    return nullptr;
}

struct ConfigDialogTest : ::testing::Test {
    QApplication& app = test::qtApplication();
};

TEST_F(ConfigDialogTest, PathAndChooserAreEnabledExactlyWithAChosenProgram)
{
    AppConfig config;
    config.externalEditorPath = "/usr/bin/gimp";
    ConfigDialog dialog(config);
    auto* path = dialog.findChild<QLineEdit*>();
    auto* choose = findByText<QPushButton>(dialog, "Wybierz...");
    EXPECT_FALSE(path->isEnabled());
    EXPECT_FALSE(choose->isEnabled());

    findByText<QRadioButton>(dialog, "Wybrany program:")->click();
    EXPECT_TRUE(path->isEnabled());
    EXPECT_TRUE(choose->isEnabled());
    QString proposed;
    dialog.setProgramChooser([&](QWidget*, const QString& current) {
        proposed = current;
        return QStringLiteral("/opt/editor/run");
    });
    choose->click();
    EXPECT_EQ(proposed, "/usr/bin/gimp");
    EXPECT_EQ(dialog.values().externalEditorPath, "/opt/editor/run");
    EXPECT_TRUE(dialog.values().externalEditor);

    findByText<QRadioButton>(dialog, "Domyślny program w Windows dla danego typu pliku (JPG, TIFF)")->click();
    EXPECT_FALSE(path->isEnabled());
    EXPECT_FALSE(dialog.values().externalEditor);
}

// Changes something on every page, then leaves the dialog by the button given.
bool editEverywhereAndClose(AppConfig& config, const QString& button)
{
    QTimer::singleShot(0, [button] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        findByText<QRadioButton>(*dialog, "Wybrany program:")->click();
        dialog->findChild<QLineEdit*>()->setText("/usr/local/bin/edytor");
        findByText<QCheckBox>(*dialog, "Wstępna redukcja szumu")->click();
        findByText<QCheckBox>(*dialog, "Unikaj prześwietleń")->click();
        findByText<QRadioButton>(*dialog, "Automatyczny")->click();
        findByText<QCheckBox>(*dialog, "Użyj profilu ICC monitora")->click();
        findByText<QPushButton>(*dialog, button)->click();
    });
    return ConfigDialog::edit(config, nullptr);
}

TEST_F(ConfigDialogTest, CancelDropsEveryPageAndOkTakesEveryPageOver)
{
    AppConfig config;
    config.jpegQuality = 77;
    EXPECT_FALSE(editEverywhereAndClose(config, "Anuluj"));
    EXPECT_FALSE(config.externalEditor);
    EXPECT_TRUE(config.externalEditorPath.empty());
    EXPECT_TRUE(config.rawNoiseReduction);
    EXPECT_FALSE(config.lightRecovery);
    EXPECT_FALSE(config.rawAutoWhiteBalance);
    EXPECT_FALSE(config.iccProfile);

    EXPECT_TRUE(editEverywhereAndClose(config, "OK"));
    EXPECT_TRUE(config.externalEditor);
    EXPECT_EQ(config.externalEditorPath, "/usr/local/bin/edytor");
    EXPECT_FALSE(config.rawNoiseReduction);
    EXPECT_TRUE(config.lightRecovery);
    EXPECT_TRUE(config.rawAutoWhiteBalance);
    EXPECT_TRUE(config.iccProfile);
    EXPECT_EQ(config.jpegQuality, 77);

    // Reopened, the dialog shows what was taken over.
    ConfigDialog again(config);
    EXPECT_TRUE(findByText<QRadioButton>(again, "Automatyczny")->isChecked());
    EXPECT_TRUE(again.findChild<QLineEdit*>()->isEnabled());
}

}  // namespace
}  // namespace qv
