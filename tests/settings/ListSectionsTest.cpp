#include "clock/Cities.h"
#include "countdowns/CountdownJson.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"
#include "settings/CountdownDateEdit.h"
#include "settings/CountdownRow.h"
#include "settings/CountdownSection.h"
#include "settings/FormGroup.h"
#include "settings/FormPicker.h"
#include "settings/SettingsView.h"
#include "settings/WorldClockSection.h"
#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/ColorRoles.h"
#include "ui/PlainButton.h"
#include "ui/Switch.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

using namespace kalvix;
using namespace kalvix::test;

namespace {

const Instant kNow{utcSeconds(2025, 3, 5, 15, 4, 5)};

struct Settings {
    Settings()
        : fakes(kNow)
    {
        app();
    }
    SettingsView& open() { return open(fakes.context()); }
    SettingsView& open(AppContext& context)
    {
        view = std::make_unique<SettingsView>(context);
        view->show();
        return *view;
    }

    // The city of each world-clock row, top to bottom.
    QStringList shownCities() const
    {
        const settings::FormGroup* group = view->section(SettingsTab::worldClocks)->group();
        QStringList names;
        for (int i = 0; i < group->rowCount(); ++i) {
            const QWidget* row = group->rowAt(i);
            const auto* label = row->findChild<ui::TextLabel*>();
            if (label && row->isVisibleTo(view.get()) && label->text() != QStringLiteral("Add city"))
                names << label->text();
        }
        return names;
    }
    settings::FormPicker* addPicker() const
    {
        return control<settings::FormPicker>(view.get(), QStringLiteral("Add city"));
    }
    QPushButton* addButton() const { return control<QPushButton>(view.get(), QStringLiteral("Add")); }
    void addCity(const QString& name)
    {
        choose(addPicker(), name);
        QTest::mouseClick(addButton(), Qt::LeftButton);
    }

    QList<settings::CountdownRow*> countdownRows() const
    {
        return static_cast<settings::CountdownSection*>(view->section(SettingsTab::countdowns))->rows();
    }
    QPushButton* addCountdown() const { return control<QPushButton>(view.get(), QStringLiteral("Add Countdown")); }
    // What the preferences hold under "countdowns", read back as Kalvix would at its next start.
    QList<Countdown> storedCountdowns() const
    {
        const std::optional<QByteArray> bytes = fakes.prefs.value(Pref::countdowns);
        return bytes ? CountdownJson::decode(*bytes).value_or(QList<Countdown>{}) : QList<Countdown>{};
    }

    TestContext fakes;
    std::unique_ptr<SettingsView> view;
};

} // namespace

TEST(WorldClockSection, addsChosenCitiesUpToSixAndOffersRemovedOnesAgainInCatalogOrder)
{
    Settings s;
    s.open();
    EXPECT_EQ(s.shownCities(), WorldClockStore::defaultCityNames());
    EXPECT_EQ(s.addPicker()->currentText(), QStringLiteral("Choose\u2026"));
    EXPECT_EQ(s.addPicker()->count(), 1 + 46 - 4);
    EXPECT_FALSE(s.addButton()->isEnabled()) << "nothing chosen";

    s.addCity(QStringLiteral("Paris"));
    EXPECT_EQ(s.fakes.worldClocks.cityNames().last(), QStringLiteral("Paris"));
    EXPECT_EQ(s.shownCities().last(), QStringLiteral("Paris"));
    EXPECT_EQ(s.addPicker()->currentText(), QStringLiteral("Choose\u2026")) << "the choice is cleared after Add";
    EXPECT_EQ(s.addPicker()->findText(QStringLiteral("Paris")), -1);
    EXPECT_FALSE(s.addButton()->isEnabled());

    s.addCity(QStringLiteral("Amsterdam"));
    EXPECT_EQ(s.shownCities().size(), 6);
    choose(s.addPicker(), QStringLiteral("Zurich"));
    EXPECT_FALSE(s.addButton()->isEnabled()) << "six clocks";

    QTest::mouseClick(control<ui::PlainButton>(s.view.get(), QStringLiteral("Remove Dubai")), Qt::LeftButton);
    settle();
    EXPECT_EQ(s.fakes.worldClocks.cityNames(),
              (QStringList{QStringLiteral("London"),
                           QStringLiteral("New York"),
                           QStringLiteral("Tokyo"),
                           QStringLiteral("Paris"),
                           QStringLiteral("Amsterdam")}));
    EXPECT_EQ(s.shownCities(), s.fakes.worldClocks.cityNames());
    EXPECT_TRUE(s.addButton()->isEnabled()) << "Zurich is still chosen and five clocks leave room";
    const int dubai = s.addPicker()->findText(QStringLiteral("Dubai"));
    EXPECT_EQ(s.addPicker()->itemText(dubai - 1), QStringLiteral("Delhi"));
    EXPECT_EQ(s.addPicker()->itemText(dubai + 1), QStringLiteral("Dublin"));
}

TEST(WorldClockSection, followsTheStoreAndClearsAChoiceTakenElsewhere)
{
    Settings s;
    s.open();
    choose(s.addPicker(), QStringLiteral("Rome"));
    // The popover, or the file edited by hand, changes the list meanwhile.
    s.fakes.worldClocks.setCityNames(
        {QStringLiteral("Rome"), QStringLiteral("Atlantis"), QStringLiteral("Seoul"), QStringLiteral("Rome")});
    settle();
    EXPECT_EQ(s.shownCities(), s.fakes.worldClocks.cityNames()) << "every stored name has its row";
    EXPECT_TRUE(
        static_cast<settings::WorldClockSection*>(s.view->section(SettingsTab::worldClocks))->cityToAdd().isEmpty());
    EXPECT_EQ(s.addPicker()->currentText(), QStringLiteral("Choose\u2026"));
    EXPECT_FALSE(s.addButton()->isEnabled()) << "Add would make a second Rome";

    ui::PlainButton* removeRome = s.view->findChild<ui::PlainButton*>(QString(), Qt::FindChildrenRecursively);
    for (ui::PlainButton* button : s.view->findChildren<ui::PlainButton*>())
        if (button->accessibleName() == QStringLiteral("Remove Rome")) {
            removeRome = button;
            break;
        }
    QTest::mouseClick(removeRome, Qt::LeftButton);
    settle();
    EXPECT_EQ(s.fakes.worldClocks.cityNames(), (QStringList{QStringLiteral("Atlantis"), QStringLiteral("Seoul")}));
    EXPECT_EQ(s.shownCities(), s.fakes.worldClocks.cityNames());
}

TEST(WorldClockSection, theKeyboardAddsAndRemovesAndKeepsItsPlace)
{
    Settings s;
    s.open();
    QApplication::setActiveWindow(s.view.get());
    settings::FormPicker* picker = s.addPicker();
    picker->setFocus(Qt::TabFocusReason);
    choose(picker, QStringLiteral("Lagos"));
    QTest::keyClick(picker, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), s.addButton());
    QTest::keyClick(s.addButton(), Qt::Key_Space);
    EXPECT_EQ(s.fakes.worldClocks.cityNames().last(), QStringLiteral("Lagos"));
    EXPECT_EQ(QApplication::focusWidget(), picker) << "back where the next city is chosen, not lost with Add";

    auto* removeDubai = control<ui::PlainButton>(s.view.get(), QStringLiteral("Remove Dubai"));
    removeDubai->setFocus(Qt::TabFocusReason);
    QTest::keyClick(removeDubai, Qt::Key_Space);
    EXPECT_FALSE(s.fakes.worldClocks.cityNames().contains(QStringLiteral("Dubai")));
    EXPECT_EQ(nameOf(QApplication::focusWidget()), QStringLiteral("Remove Tokyo")) << "on to the next row";
    settle();
}

TEST(WorldClockSection, aHandEditOfTheFileShowsAtOnce)
{
    Settings s;
    s.open();
    s.fakes.prefs.simulateExternalEdit(
        {{Pref::worldClockCities.name,
          PreferencesStore::encodeList({QStringLiteral("Lisbon"), QStringLiteral("Cairo")})}});
    settle();
    EXPECT_EQ(s.shownCities(), (QStringList{QStringLiteral("Lisbon"), QStringLiteral("Cairo")}));
    EXPECT_NE(s.addPicker()->findText(QStringLiteral("Dubai")), -1);
    EXPECT_EQ(s.addPicker()->findText(QStringLiteral("Cairo")), -1);
}

TEST(WorldClockSection, theRemoveButtonIsRedInBothThemes)
{
    Settings s;
    SettingsView& view = s.open();
    auto* remove = control<ui::PlainButton>(&view, QStringLiteral("Remove London"));
    settle();
    // Inside the circle, above the minus bar.
    const QPoint inCircle = remove->mapTo(&view, remove->rect().center() - QPoint(0, 4));
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        view.setPalette(palette);
        EXPECT_TRUE(near(pixelAt(grab(view), inCircle), ui::fixedColor(ui::FixedColor::red, palette), 12));
    }
}

TEST(CountdownSection, addMakesNewCountdownsWithTheirOwnIdentityAndRemoveTakesOne)
{
    Settings s;
    s.open();
    EXPECT_TRUE(s.countdownRows().isEmpty());
    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    const QList<Countdown> items = s.fakes.countdowns.items();
    ASSERT_EQ(items.size(), 2);
    EXPECT_NE(items[0].id, items[1].id);
    for (const Countdown& countdown : items) {
        EXPECT_EQ(countdown.title, QStringLiteral("New countdown"));
        EXPECT_EQ(countdown.date, kNow) << "pinned at the current instant";
    }
    EXPECT_EQ(s.storedCountdowns(), items);
    ASSERT_EQ(s.countdownRows().size(), 2);
    EXPECT_EQ(s.countdownRows()[1]->titleField()->text(), QStringLiteral("New countdown"));
    EXPECT_EQ(s.countdownRows()[1]->datePicker()->date(), QDate(2025, 3, 5));
    // The new countdown's title takes the typing at once.
    QApplication::setActiveWindow(s.view.get());
    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    ASSERT_EQ(s.countdownRows().size(), 3);
    EXPECT_EQ(QApplication::focusWidget(), s.countdownRows()[2]->titleField());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Exams"));
    EXPECT_EQ(s.fakes.countdowns.items().value(2).title, QStringLiteral("Exams"));
    QTest::mouseClick(s.countdownRows()[2]->removeButton(), Qt::LeftButton);
    settle();

    QTest::mouseClick(s.countdownRows()[0]->removeButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(s.fakes.countdowns.items(), QList<Countdown>{items[1]});
    ASSERT_EQ(s.countdownRows().size(), 1);
    EXPECT_EQ(s.countdownRows()[0]->id(), items[1].id);
}

TEST(CountdownSection, everyTypedCharacterIsSavedAndTheFieldStaysInPlace)
{
    Settings s;
    s.open();
    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    QLineEdit* title = s.countdownRows()[0]->titleField();
    QApplication::setActiveWindow(s.view.get());
    title->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(title, Qt::Key_A, Qt::ControlModifier);
    const QString typed = QStringLiteral("Ski trip");
    for (int i = 0; i < typed.size(); ++i) {
        QTest::keyClick(title, typed[i].toLatin1());
        ASSERT_EQ(s.storedCountdowns().value(0).title, typed.left(i + 1)) << "after character " << i + 1;
    }
    EXPECT_EQ(s.countdownRows()[0]->titleField(), title) << "the same field all along";
    EXPECT_TRUE(title->hasFocus());
    EXPECT_EQ(title->cursorPosition(), typed.size());

    // The title changes elsewhere meanwhile (the file edited by hand): shown, and the typist keeps their place.
    QList<Countdown> items = s.fakes.countdowns.items();
    items[0].title = QStringLiteral("Ski trip to Chamonix");
    s.fakes.countdowns.setItems(items);
    EXPECT_EQ(title->text(), items[0].title);
    EXPECT_EQ(title->cursorPosition(), typed.size());
}

TEST(CountdownSection, aHandEditOfTheFileShowsAtOnceAndKeepsTheFieldsOfCountdownsThatStay)
{
    Settings s;
    s.open();
    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    const Countdown first = s.fakes.countdowns.items().first();
    QLineEdit* field = s.countdownRows()[0]->titleField();
    const QString json = QStringLiteral(R"([{"id":"%1","title":"Renamed","date":700000000},)"
                                        R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF","title":"Added","date":7e8}])")
                             .arg(first.id.toString(QUuid::WithoutBraces));
    s.fakes.prefs.simulateExternalEdit({{Pref::countdowns.name, json}});
    settle();
    ASSERT_EQ(s.countdownRows().size(), 2);
    EXPECT_EQ(s.countdownRows()[0]->titleField(), field) << "the same countdown keeps its row";
    EXPECT_EQ(field->text(), QStringLiteral("Renamed"));
    EXPECT_EQ(s.countdownRows()[1]->titleField()->text(), QStringLiteral("Added"));
    EXPECT_EQ(s.countdownRows()[1]->datePicker()->date(), QDate(2023, 3, 8));
}

TEST(CountdownSection, twoCountdownsOfOneIdentityAreEditedEachInItsOwnRow)
{
    Settings s;
    Countdown copied = Countdown::create(QStringLiteral("Copied"), kNow);
    s.fakes.countdowns.setItems({copied, copied}); // an entry duplicated by hand in the file
    s.open();
    QLineEdit* second = s.countdownRows()[1]->titleField();
    second->end(false);
    QTest::keyClick(second, Qt::Key_2);
    EXPECT_EQ(s.storedCountdowns().value(0).title, QStringLiteral("Copied"));
    EXPECT_EQ(s.storedCountdowns().value(1).title, QStringLiteral("Copied2"));
    EXPECT_EQ(second->text(), QStringLiteral("Copied2"));
}

TEST(CountdownSection, pickingADayKeepsTheTimeAndIsSavedAtOnce)
{
    Settings s;
    const Instant summerEvening{utcSeconds(2025, 7, 18, 18, 30)};
    s.fakes.countdowns.setItems({Countdown::create(QStringLiteral("Holiday"), summerEvening)});
    s.open();
    settings::CountdownDateEdit* date = s.countdownRows()[0]->datePicker();
    EXPECT_EQ(date->date(), QDate(2025, 7, 18));
    date->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(date, Qt::Key_Up);
    EXPECT_EQ(s.storedCountdowns().value(0).date, summerEvening + 86400);

    // The popover's side of the same list: a change there shows here at once.
    QList<Countdown> items = s.fakes.countdowns.items();
    items[0].date = Instant{utcSeconds(2026, 1, 2, 9)};
    items[0].title = QStringLiteral("Holiday (moved)");
    s.fakes.countdowns.setItems(items);
    EXPECT_EQ(date->date(), QDate(2026, 1, 2));
    EXPECT_EQ(s.countdownRows()[0]->titleField()->text(), QStringLiteral("Holiday (moved)"));
}

TEST(CountdownSection, aDayThePickerCannotTakeIsRefusedVisiblyAndNothingIsStored)
{
    Settings s;
    const Instant day{utcSeconds(2025, 7, 18, 9)};
    s.fakes.countdowns.setItems({Countdown::create(QStringLiteral("Holiday"), day)});
    s.open();
    settings::CountdownDateEdit* date = s.countdownRows()[0]->datePicker();
    QApplication::setActiveWindow(s.view.get());
    date->setFocus(Qt::TabFocusReason);
    date->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(date, QStringLiteral("0050"));
    EXPECT_TRUE(date->isRefusing());
    EXPECT_TRUE(date->toolTip().contains(QStringLiteral("100"))) << date->toolTip().toStdString();
    EXPECT_EQ(s.storedCountdowns().value(0).date, day);

    s.countdownRows()[0]->titleField()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(date->date(), QDate(2025, 7, 18)) << "the last day is back";
    EXPECT_TRUE(date->isRefusing()) << "and the ring says the typed year was not taken";
    QTest::keyClick(date, Qt::Key_Up);
    EXPECT_FALSE(date->isRefusing());
}

namespace {

// Typing into the date of a countdown on 18 July 2025, after a click into one part of it.
struct TypingRow {
    const char* name;
    QDateTimeEdit::Section clickedInto;
    const char* keys;
    QDate dateAfter;       // the day shown once the keys are typed
    bool ringWhileTyping;  // whether any keystroke but the last put up the red ring
    bool ringAfterLast;    // whether the ring is up after the last one
    bool ringWhenFinished; // after Enter
};

class DateTyping : public ::testing::TestWithParam<TypingRow> {};

} // namespace

TEST_P(DateTyping, aClickSelectsThePartAndHalfTypedTextIsNoMistake)
{
    const TypingRow& row = GetParam();
    Settings s;
    const Instant day{utcSeconds(2025, 7, 18, 9)};
    s.fakes.countdowns.setItems({Countdown::create(QStringLiteral("Holiday"), day)});
    s.open();
    settle();
    settings::CountdownDateEdit* date = s.countdownRows()[0]->datePicker();
    QApplication::setActiveWindow(s.view.get());
    // The middle of that part's digits in the text ("18/07/2025": day, month, year), as the user sees them.
    QLineEdit* text = date->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    const QString shown = text->text();
    const QStringList parts = shown.split(u'/');
    ASSERT_EQ(parts.size(), 3) << shown.toStdString();
    const int partIndex = row.clickedInto == QDateTimeEdit::DaySection     ? 0
                          : row.clickedInto == QDateTimeEdit::MonthSection ? 1
                                                                           : 2;
    qsizetype at = 0;
    for (int i = 0; i < partIndex; ++i)
        at += parts[i].size() + 1;
    const QFontMetrics metrics = text->fontMetrics();
    const int x = text->contentsRect().left() + metrics.horizontalAdvance(shown.left(at)) +
                  metrics.horizontalAdvance(parts[partIndex]) / 2 + 2;
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(x, text->height() / 2));
    EXPECT_EQ(date->currentSection(), row.clickedInto);

    bool ringOnTheWay = false;
    const QString keys = QString::fromUtf8(row.keys);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        QTest::keyClick(date, keys[i].toLatin1());
        if (i + 1 < keys.size())
            ringOnTheWay = ringOnTheWay || date->isRefusing();
    }
    EXPECT_EQ(ringOnTheWay, row.ringWhileTyping);
    EXPECT_EQ(date->isRefusing(), row.ringAfterLast);
    EXPECT_EQ(date->date(), row.dateAfter);
    QTest::keyClick(date, Qt::Key_Return);
    EXPECT_EQ(date->isRefusing(), row.ringWhenFinished);
}

INSTANTIATE_TEST_SUITE_P(
    Parts,
    DateTyping,
    ::testing::Values(
        TypingRow{"day_25_digit_by_digit", QDateTimeEdit::DaySection, "25", QDate(2025, 7, 25), false, false, false},
        TypingRow{"month_12", QDateTimeEdit::MonthSection, "12", QDate(2025, 12, 18), false, false, false},
        TypingRow{"year_2026", QDateTimeEdit::YearSection, "2026", QDate(2026, 7, 18), false, false, false},
        // Typed out and no day the picker takes: the ring, at once (the editor writes "00" out as year 0000).
        TypingRow{"year_0050_out_of_range", QDateTimeEdit::YearSection, "0050", QDate(2025, 7, 18), true, true, true},
        // Left half-typed: no ring while typing, the ring when the editing ends and the day comes back.
        TypingRow{"year_half_typed", QDateTimeEdit::YearSection, "20", QDate(2025, 7, 18), false, false, true}),
    [](const auto& row) { return std::string(row.param.name); });

namespace {

struct DateRoomRow {
    const char* name;
    const char* locale;
};

class DateRoom : public ::testing::TestWithParam<DateRoomRow> {};

} // namespace

TEST_P(DateRoom, theLongestDateStaysClearOfTheDropDownButton)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QString::fromUtf8(GetParam().locale)));
    Settings s;
    s.fakes.countdowns.setItems({Countdown::create(QStringLiteral("Christmas"), Instant{utcSeconds(2026, 12, 25, 9)})});
    s.open();
    settle();
    QLineEdit* text = s.countdownRows()[0]->datePicker()->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    // The text field ends where the button begins: a digit's room at least is left after the date.
    const int spare = text->width() - text->fontMetrics().horizontalAdvance(text->text());
    EXPECT_GE(spare, text->fontMetrics().horizontalAdvance(u'0')) << text->text().toStdString();
    QLocale::setDefault(before);
}

INSTANTIATE_TEST_SUITE_P(Locales,
                         DateRoom,
                         ::testing::Values(DateRoomRow{"british", "en_GB"},
                                           DateRoomRow{"american", "en_US"},
                                           DateRoomRow{"german", "de_DE"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CountdownSection, aYearTypedADigitTooLongIsRefusedAndTheDayBeforeComesBack)
{
    Settings s;
    const Instant day{utcSeconds(2025, 7, 18, 9)};
    s.fakes.countdowns.setItems({Countdown::create(QStringLiteral("Holiday"), day)});
    s.open();
    settings::CountdownDateEdit* date = s.countdownRows()[0]->datePicker();
    QApplication::setActiveWindow(s.view.get());
    date->setFocus(Qt::TabFocusReason);
    date->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(date, QStringLiteral("10000")); // "1000" would be a day, saved as it was typed
    EXPECT_TRUE(date->isRefusing());
    EXPECT_EQ(date->date(), QDate(2025, 7, 18));
    EXPECT_EQ(s.storedCountdowns().value(0).date, day);
}

TEST(CountdownSection, aStoredDateThePickerCannotShowStaysUntilADayIsPicked)
{
    Settings s;
    const QList<Countdown> items{Countdown::create(QStringLiteral("Far"), Instant{1e300}),
                                 Countdown::create(QStringLiteral("Roman"), Instant{utcSeconds(50, 3, 15, 12)})};
    s.fakes.countdowns.setItems(items);
    s.open();
    for (settings::CountdownRow* row : s.countdownRows()) {
        EXPECT_TRUE(row->datePicker()->showsNoDate());
        EXPECT_EQ(row->datePicker()->text(), QStringLiteral("No date"));
    }
    QTest::keyClicks(s.countdownRows()[1]->titleField(), QStringLiteral("!"));
    EXPECT_EQ(s.storedCountdowns()[0].date, items[0].date) << "other edits keep it as stored";
    EXPECT_EQ(s.storedCountdowns()[1].date, items[1].date);

    settings::CountdownDateEdit* date = s.countdownRows()[0]->datePicker();
    QTest::keyClick(date, Qt::Key_Up);
    EXPECT_FALSE(date->showsNoDate());
    // The start of 2 January 100 in London, whose local mean time ran 1 min 15 s behind Greenwich.
    EXPECT_EQ(s.storedCountdowns()[0].date, Instant{utcSeconds(100, 1, 2) + 75});
}

TEST(CountdownSection, anUnreadableStoredListShowsEmptyAndStaysUntilTheUserChangesACountdown)
{
    Settings s;
    const QByteArray unreadable = QByteArrayLiteral(R"([{"id":"not-a-uuid","title":"Kept","date":1}])");
    s.fakes.prefs.set(Pref::countdowns, unreadable);
    CountdownStore store(s.fakes.prefs); // made after the value, as at start-up
    AppContext context{s.fakes.prefs,
                       s.fakes.time,
                       s.fakes.clock,
                       s.fakes.calendar,
                       s.fakes.worldClocks,
                       store,
                       s.fakes.settingsState,
                       s.fakes.loginItems,
                       s.fakes.actions};
    s.open(context);
    EXPECT_TRUE(s.countdownRows().isEmpty());
    s.addCity(QStringLiteral("Lisbon"));
    QTest::mouseClick(control<ui::Switch>(s.view.get(), QStringLiteral("Show year")), Qt::LeftButton);
    EXPECT_EQ(s.fakes.prefs.value(Pref::countdowns), unreadable);

    QTest::mouseClick(s.addCountdown(), Qt::LeftButton);
    EXPECT_EQ(s.storedCountdowns().size(), 1);
}

TEST(CountdownSection, longEmojiAndRightToLeftTitlesAreKeptExactly)
{
    Settings s;
    const QString longTitle = QString(10000, QLatin1Char('x'));
    const QString emoji = QStringLiteral("Party \U0001F389\U0001F469\u200D\U0001F467 \U0001F1EC\U0001F1E7");
    const QString rightToLeft = QStringLiteral("\u05D9\u05D5\u05DD \u05D4\u05D5\u05DC\u05D3\u05EA \u0639\u064A\u062F");
    const QList<Countdown> items{
        Countdown::create(longTitle, kNow), Countdown::create(emoji, kNow), Countdown::create(rightToLeft, kNow)};
    s.fakes.countdowns.setItems(items);
    s.open();
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(s.countdownRows()[i]->titleField()->text(), items[i].title) << i;

    for (settings::CountdownRow* row : s.countdownRows()) {
        row->titleField()->end(false);
        QTest::keyClick(row->titleField(), Qt::Key_Period);
    }
    const QList<Countdown> stored = s.storedCountdowns();
    ASSERT_EQ(stored.size(), 3);
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(stored[i].title, items[i].title + u'.') << i;
}

TEST(CountdownSection, aListTooLongToShowIsSaidSoAndKeptAsStored)
{
    Settings s;
    QList<Countdown> many;
    many.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        many.append(Countdown::create(QStringLiteral("Countdown %1").arg(i), Instant{kNow.seconds + i * 60.0}));
    s.fakes.countdowns.setItems(many);
    const std::optional<QByteArray> stored = s.fakes.prefs.value(Pref::countdowns);
    s.open(); // at once: no row is built
    auto* section = static_cast<settings::CountdownSection*>(s.view->section(SettingsTab::countdowns));
    EXPECT_TRUE(s.countdownRows().isEmpty());
    EXPECT_TRUE(section->tooManyNote()->isVisibleTo(s.view.get()));
    EXPECT_TRUE(section->tooManyNote()->text().contains(QStringLiteral("100000")))
        << section->tooManyNote()->text().toStdString();
    EXPECT_FALSE(s.addCountdown()->isEnabled());
    QTest::mouseClick(control<ui::Switch>(s.view.get(), QStringLiteral("Show year")), Qt::LeftButton);
    EXPECT_EQ(s.fakes.prefs.value(Pref::countdowns), stored);

    // Shortened by hand to a list Settings shows: rows again.
    s.fakes.countdowns.setItems(many.mid(0, settings::CountdownSection::kMostRows));
    EXPECT_EQ(s.countdownRows().size(), settings::CountdownSection::kMostRows);
    EXPECT_FALSE(section->tooManyNote()->isVisibleTo(s.view.get()));
    EXPECT_TRUE(s.addCountdown()->isEnabled());
}

TEST(WorldClockSection, aListTooLongToShowIsSaidSoAndKeptAsStored)
{
    Settings s;
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("Town %1").arg(i);
    many.prepend(QStringLiteral("Lisbon"));
    s.fakes.worldClocks.setCityNames(many);
    const auto stored = s.fakes.prefs.value(Pref::worldClockCities);
    s.open();
    auto* section = static_cast<settings::WorldClockSection*>(s.view->section(SettingsTab::worldClocks));
    EXPECT_TRUE(s.shownCities().isEmpty());
    EXPECT_TRUE(section->tooManyNote()->isVisibleTo(s.view.get()));
    EXPECT_TRUE(section->tooManyNote()->text().contains(QStringLiteral("100001")));
    QTest::mouseClick(control<ui::Switch>(s.view.get(), QStringLiteral("Show year")), Qt::LeftButton);
    EXPECT_EQ(s.fakes.prefs.value(Pref::worldClockCities), stored);

    s.fakes.worldClocks.setCityNames({QStringLiteral("Lisbon"), QStringLiteral("Tokyo")});
    EXPECT_EQ(s.shownCities(), (QStringList{QStringLiteral("Lisbon"), QStringLiteral("Tokyo")}));
    EXPECT_FALSE(section->tooManyNote()->isVisibleTo(s.view.get()));
}
