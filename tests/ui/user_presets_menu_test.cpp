#include "ui/user_presets_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "support/test_files.h"
#include "ui/preset_name_dialog.h"
#include "ui/preset_organizer_dialog.h"
#include "ui/user_presets_storage.h"

namespace qv {
namespace {

struct FakeWindow : UserPresetsHost {
    bool loaded = true;
    ToneSettings current;
    std::vector<ToneChange> applied;

    bool imageLoaded() const override { return loaded; }
    const ToneSettings& currentRecord() const override { return current; }
    std::string imageName() const override { return "IMG_0012.CR2"; }
    void applyToneChange(const ToneChange& change) override
    {
        applied.push_back(change);
        copyToneValues(change.record, current);
    }
};

UserPresetList namedPresets(std::initializer_list<const char*> names)
{
    UserPresetList list;
    uint16_t details = 0;
    for (const char* name : names) {
        ToneSettings s;
        s.name = name;
        s.Details = details++ % 10;
        list.push_back(s);
    }
    return list;
}

// The texts and enabled states of the menu's items after the separator.
std::vector<std::pair<QString, bool>> presetItems(const QMenu& menu)
{
    std::vector<std::pair<QString, bool>> items;
    bool afterSeparator = false;
    for (QAction* action : menu.actions()) {
        if (afterSeparator && action->isVisible())
            items.emplace_back(action->text(), action->isEnabled());
        afterSeparator = afterSeparator || action->isSeparator();
    }
    return items;
}

struct UserPresetsMenuTest : ::testing::Test {
    QApplication& app = test::qtApplication();
    FakeWindow window;
};

TEST_F(UserPresetsMenuTest, ItemsFollowTheListAndTheImage)
{
    UserPresetList presets = namedPresets({"Jeden", "B&W"});
    UserPresetsMenu menu(presets, window, nullptr);
    using Items = std::vector<std::pair<QString, bool>>;
    EXPECT_EQ(presetItems(*menu.menu()), (Items{{"Jeden", true}, {"B&&W", true}}));
    EXPECT_TRUE(menu.organizeAction()->isEnabled());

    window.loaded = false;
    presets.pop_back();
    menu.rebuild();
    EXPECT_EQ(presetItems(*menu.menu()), (Items{{"Jeden", false}}));
    EXPECT_FALSE(menu.addAction()->isEnabled());

    presets.clear();
    menu.rebuild();
    EXPECT_EQ(presetItems(*menu.menu()), (Items{{"Ustawienia", false}}));
    EXPECT_FALSE(menu.organizeAction()->isEnabled());
}

TEST_F(UserPresetsMenuTest, AddProposesTheImageNameAndStopsAtFortyNine)
{
    UserPresetList presets;
    UserPresetsMenu menu(presets, window, nullptr);
    std::string proposed;
    menu.setNameAsker([&](QWidget*, const std::string& proposal) {
        proposed = proposal;
        return std::optional<std::string>(std::string(35, 'k'));
    });
    window.current.Sharpness = 99;
    menu.addAction()->trigger();
    EXPECT_EQ(proposed, "IMG_0012");
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0].name, std::string(30, 'k'));
    EXPECT_EQ(presets[0].Sharpness, 99);

    presets.resize(49);
    proposed.clear();
    menu.addAction()->trigger();
    EXPECT_TRUE(proposed.empty());
    EXPECT_EQ(presets.size(), 49u);
}

TEST_F(UserPresetsMenuTest, EqualValuesUnderDifferentNamesMarkOnlyTheOutput)
{
    UserPresetList presets = namedPresets({"A"});
    presets.push_back(presets[0]);
    presets[1].name = "B";
    UserPresetsMenu menu(presets, window, nullptr);
    for (int i = 0; i < 2; ++i)
        menu.applyPreset(static_cast<std::size_t>(i));
    ASSERT_EQ(window.applied.size(), 2u);
    EXPECT_EQ(window.applied[0].dirtyBits, DirtyBits::Details | DirtyBits::Output);
    EXPECT_EQ(window.applied[1].dirtyBits, DirtyBits::Output);
    menu.applyPreset(2);
    window.loaded = false;
    menu.applyPreset(0);
    EXPECT_EQ(window.applied.size(), 2u);
}

TEST_F(UserPresetsMenuTest, OrganizerCancelKeepsTheListAndDeletingAllWithOkEmptiesIt)
{
    UserPresetList presets = namedPresets({"Jeden", "Dwa", "Trzy"});
    UserPresetsMenu menu(presets, window, nullptr);
    auto removeAllAndClose = [&menu](bool confirm) {
        QTimer::singleShot(0, [confirm] {
            auto* dialog = dynamic_cast<PresetOrganizerDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            dialog->button(PresetOrganizerDialog::RemoveAll)->click();
            EXPECT_FALSE(dialog->button(PresetOrganizerDialog::RemoveAll)->isEnabled());
            confirm ? dialog->accept() : dialog->reject();
        });
        menu.organizeAction()->trigger();
    };
    removeAllAndClose(false);
    EXPECT_EQ(presets.size(), 3u);
    removeAllAndClose(true);
    EXPECT_TRUE(presets.empty());
    menu.rebuild();
    EXPECT_EQ(presetItems(*menu.menu()), (std::vector<std::pair<QString, bool>>{{"Ustawienia", false}}));
    EXPECT_FALSE(menu.organizeAction()->isEnabled());
}

TEST_F(UserPresetsMenuTest, OrganizerButtonsFollowTheSelection)
{
    const UserPresetList presets = namedPresets({"Jeden", "Dwa", "Trzy"});
    PresetOrganizerDialog dialog(presets);
    auto enabled = [&](PresetOrganizerDialog::Button b) { return dialog.button(b)->isEnabled(); };
    EXPECT_FALSE(enabled(PresetOrganizerDialog::Rename));
    EXPECT_FALSE(enabled(PresetOrganizerDialog::Remove));
    EXPECT_TRUE(enabled(PresetOrganizerDialog::RemoveAll));

    dialog.list()->item(0)->setSelected(true);
    EXPECT_FALSE(enabled(PresetOrganizerDialog::MoveUp));
    EXPECT_TRUE(enabled(PresetOrganizerDialog::MoveDown));
    dialog.button(PresetOrganizerDialog::MoveDown)->click();
    EXPECT_EQ(dialog.list()->item(1)->text(), "Jeden");
    EXPECT_TRUE(dialog.list()->item(1)->isSelected());
    dialog.button(PresetOrganizerDialog::MoveDown)->click();
    EXPECT_FALSE(enabled(PresetOrganizerDialog::MoveDown));
    EXPECT_TRUE(enabled(PresetOrganizerDialog::MoveUp));

    dialog.list()->item(0)->setSelected(true);  // "Dwa" and "Jeden" of "Dwa", "Trzy", "Jeden"
    EXPECT_FALSE(enabled(PresetOrganizerDialog::MoveUp));
    EXPECT_FALSE(enabled(PresetOrganizerDialog::MoveDown));
    std::vector<std::string> asked;
    dialog.setNameAsker([&](const std::string& current) {
        asked.push_back(current);
        return asked.size() == 1 ? std::optional<std::string>(std::string(35, 'z')) : std::nullopt;
    });
    dialog.button(PresetOrganizerDialog::Rename)->click();
    EXPECT_EQ(asked, (std::vector<std::string>{"Dwa", "Jeden"}));

    dialog.list()->clearSelection();
    dialog.list()->item(1)->setSelected(true);
    dialog.button(PresetOrganizerDialog::Remove)->click();
    const UserPresetList result = dialog.organizer().committed(presets);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].name, std::string(30, 'z'));
    EXPECT_EQ(result[0].Details, presets[1].Details);
    EXPECT_EQ(result[1].name, "Jeden");
}

TEST_F(UserPresetsMenuTest, NameDialogAcceptsOneToThirtyCharacters)
{
    PresetNameDialog dialog("IMG_0012");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    for (const auto& [text, ok] : {std::pair{"", false}, {"a", true}, {"Ś", true}}) {
        dialog.edit()->setText(QString::fromUtf8(text));
        EXPECT_EQ(dialog.okButton()->isEnabled(), ok) << text;
    }
    dialog.edit()->setText(QString(30, QChar(u'ź')));
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    dialog.edit()->setText(QString(31, QChar(u'ź')));
    EXPECT_FALSE(dialog.okButton()->isEnabled());
}

TEST(UserPresetsStorage, AFailedWriteAtExitIsReported)
{
    test::qtApplication();
    test::TempDir dir;
    ASSERT_TRUE(test::writeTextFile(dir.file("plik"), "x"));
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        shown = box->text();
        box->accept();
    });
    const QString path = QString::fromStdString(dir.file("plik/UserSettings.qvl"));
    EXPECT_FALSE(saveUserPresetsAtExit({ToneSettings{}}, path, nullptr));
    EXPECT_TRUE(shown.startsWith(path)) << shown.toStdString();

    const QString good = QString::fromStdString(dir.file("nowy/UserSettings.qvl"));
    EXPECT_TRUE(saveUserPresetsAtExit({ToneSettings{}}, good, nullptr));
    UserPresetList read;
    loadUserPresetsAtStart(read, good, nullptr);
    EXPECT_EQ(read.size(), 1u);
    EXPECT_TRUE(userPresetsFilePath().endsWith("/UserSettings.qvl"));
}

}  // namespace
}  // namespace qv
