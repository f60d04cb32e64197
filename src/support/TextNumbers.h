#pragma once

#include <array>
#include <cstdint>

namespace lw::text {

// Numbers of the texts in the language file, by the place that shows them.

// Main window
inline constexpr std::int32_t editButton = 100;
inline constexpr std::int32_t addButton = 110;
inline constexpr std::int32_t deleteButton = 120;
inline constexpr std::int32_t nameColumn = 130;
inline constexpr std::int32_t kindColumn = 135;
inline constexpr std::int32_t commandColumn = 140;

// Startup list: kind labels and count lines
inline constexpr std::int32_t customizedLabel = 144;
inline constexpr std::int32_t customizedCount = 145;
inline constexpr std::int32_t currentUserLabel = 149;
inline constexpr std::int32_t currentUserCount = 150;
inline constexpr std::int32_t allUsersLabel = 154;
inline constexpr std::int32_t allUsersCount = 155;
inline constexpr std::int32_t totalCount = 160;

// Entry commands
inline constexpr std::int32_t noSelectionToEdit = 165;
inline constexpr std::int32_t noSelectionToDelete = 170;
inline constexpr std::int32_t newEntryName = 175;

// Reversal
inline constexpr std::int32_t customizedRestoreLabel = 180;
inline constexpr std::int32_t restoreQuestion = 185;
inline constexpr std::int32_t restoredNotice = 190;
inline constexpr std::int32_t restoreFailed = 195;
inline constexpr std::int32_t unreadableRecords = 198; // %s records, the first at line %s
inline constexpr std::int32_t restoreReplaces = 587;

// Menus
inline constexpr std::int32_t menuReverse = 205;
inline constexpr std::int32_t menuEditBackup = 210;
inline constexpr std::int32_t menuMinimize = 215;
inline constexpr std::int32_t menuExit = 220;
inline constexpr std::int32_t menuHelpFile = 260;
inline constexpr std::int32_t menuWebsite = 265;
inline constexpr std::int32_t menuAbout = 270;
inline constexpr std::int32_t trayShow = 290;
inline constexpr std::int32_t trayStop = 295;

// Entry dialog
inline constexpr std::int32_t nameLabel = 440;
inline constexpr std::int32_t pathLabel = 450;
inline constexpr std::int32_t deleteThisEntry = 460;
inline constexpr std::int32_t cancelButton = 470;
inline constexpr std::int32_t kindGroup = 475;
inline constexpr std::int32_t nameAndPathGroup = 480;
inline constexpr std::int32_t startGroup = 485;
inline constexpr std::int32_t firstScheduleLabel = 490; // 490 to 540 in steps of 5
inline constexpr std::int32_t addQuestion = 545;
inline constexpr std::int32_t changeQuestion = 550;
inline constexpr std::int32_t changeQuestionDetail = 551;
inline constexpr std::int32_t addedNotice = 555;
inline constexpr std::int32_t changedNotice = 560;

// Removal with backup
inline constexpr std::int32_t deleteQuestion = 565;
inline constexpr std::int32_t deletedNotice = 570;
inline constexpr std::int32_t removeFailed = 575;
inline constexpr std::int32_t saveFailed = 580;
inline constexpr std::int32_t lineBreakRefused = 585;
inline constexpr std::int32_t noCommandRefused = 586;
inline constexpr std::int32_t nameUsedRefused = 588;
inline constexpr std::int32_t notUtf8Refused = 589;
inline constexpr std::int32_t badNameRefused = 591;
inline constexpr std::int32_t nameTooLongRefused = 592;
inline constexpr std::int32_t commandTooLongRefused = 593;
inline constexpr std::int32_t unrecognisedFile = 595;

// Reports of a file that could not be used, and of a missing display
inline constexpr std::int32_t fileErrorIntro = 600;

// Help
inline constexpr std::int32_t helpNotShown = 670;
// A file or address the desktop's opener did not show; Reverse Startup Changes with no records
inline constexpr std::int32_t openerFailed = 900;
inline constexpr std::int32_t nothingToRestore = 901;
// The file chooser's one filter
inline constexpr std::int32_t allFilesFilter = 902;
// Customized entries as a scheduler shows them: rule, last and next start, failed starts, and
// Start Now
inline constexpr std::int32_t dateTimeFormat = 750;
inline constexpr std::int32_t dateFormat = 751;
inline constexpr std::int32_t lastStart = 752;
inline constexpr std::int32_t lastStartUnknown = 753;
inline constexpr std::int32_t nextStart = 754;
inline constexpr std::int32_t nextStartNow = 755;
inline constexpr std::int32_t nextStartLaterRun = 756;
inline constexpr std::int32_t neverStarts = 757;
inline constexpr std::int32_t neverUnknownRule = 758;
inline constexpr std::int32_t neverNoWeekday = 759;
inline constexpr std::int32_t neverNoSuchDay = 760;
inline constexpr std::int32_t lastStartFailed = 761;
inline constexpr std::int32_t problemNotFound = 762;
inline constexpr std::int32_t problemNotExecutable = 763;
inline constexpr std::int32_t problemPermission = 764;
inline constexpr std::int32_t problemOther = 765;
inline constexpr std::int32_t menuStartNow = 766;
inline constexpr std::int32_t noSelectionToStart = 767;
inline constexpr std::int32_t startNowFailed = 768;
inline constexpr std::int32_t timedStartFailed = 769;
inline constexpr std::int32_t firstWeekday = 770; // 770 to 776: Sunday to Saturday
// 777 to 780: every minute, hour, day, week, for the every-N rules when N is 1
inline constexpr std::int32_t firstEveryOne = 777;
inline constexpr std::int32_t problemNoOpener = 781;

// Whether each entry starts: the Status column, its short texts and reason sentences (the
// number plus the verdict's value), the count of entries that will not start
inline constexpr std::int32_t statusColumn = 610;
inline constexpr std::int32_t notStartingCount = 611;
inline constexpr std::int32_t firstVerdictLabel = 612;  // 612 to 619
inline constexpr std::int32_t firstVerdictReason = 620; // 620 to 626; NeverDue's is its own
inline constexpr std::int32_t customizedStartsReason = 627;
inline constexpr std::int32_t customizedDisabledReason = 628;
inline constexpr std::int32_t neverDueReason = 629;
// The verdicts after NeverDue: their labels and sentences
inline constexpr std::int32_t conditionFailsLabel = 920;
inline constexpr std::int32_t conditionUnknownLabel = 921;
inline constexpr std::int32_t conditionFailsReason = 922;
inline constexpr std::int32_t conditionUnknownReason = 923;
// What starts a systemd unit that is not started at logon itself
inline constexpr std::int32_t unitOnDemand = 924;
inline constexpr std::int32_t unitByTimer = 925;
inline constexpr std::int32_t unitByPath = 926;

// The change journal in the window: its view, its notifications and its words
inline constexpr std::int32_t menuStartupChanges = 927;
inline constexpr std::int32_t menuNotifyChanges = 928;
inline constexpr std::int32_t entryAddedNotice = 929;
inline constexpr std::int32_t entryChangedNotice = 930;
inline constexpr std::int32_t changesNotice = 931;
inline constexpr std::int32_t keepAction = 932;
inline constexpr std::int32_t switchOffAction = 933;
inline constexpr std::int32_t removeAction = 934;
inline constexpr std::int32_t sinceLastLooked = 935;
inline constexpr std::int32_t countAdded = 936;
inline constexpr std::int32_t countRemoved = 937;
inline constexpr std::int32_t countChanged = 938;
inline constexpr std::int32_t showChangesAction = 939;
inline constexpr std::int32_t changeTimeColumn = 960;
inline constexpr std::int32_t changeKindColumn = 961;
inline constexpr std::int32_t changeNameColumn = 962;
inline constexpr std::int32_t changeColumn = 963;
inline constexpr std::int32_t changeBeforeColumn = 964;
inline constexpr std::int32_t changeAfterColumn = 965;
inline constexpr std::int32_t changeByColumn = 966;
inline constexpr std::int32_t changeActionColumn = 967;
inline constexpr std::int32_t changeAddedWord = 968;
inline constexpr std::int32_t changeRemovedWord = 969;
inline constexpr std::int32_t changeCommandWord = 970;
inline constexpr std::int32_t changeSwitchedOffWord = 971;
inline constexpr std::int32_t changeSwitchedOnWord = 972;
inline constexpr std::int32_t byWindowWord = 973;
inline constexpr std::int32_t byCommandLineWord = 974;
inline constexpr std::int32_t byTimerWord = 975;
inline constexpr std::int32_t byOtherWord = 976;
inline constexpr std::int32_t actionKeptWord = 977;
inline constexpr std::int32_t actionSwitchedOffWord = 978;
inline constexpr std::int32_t actionRemovedWord = 979;
inline constexpr std::int32_t watchIncomplete = 980;
inline constexpr std::int32_t closeButton = 981;
inline constexpr std::int32_t beforeTime = 982;
inline constexpr std::int32_t changedEntryGone = 983;
inline constexpr std::int32_t changeListName = 984;
inline constexpr std::int32_t changeFilterName = 985;

// Switching an entry off and on
inline constexpr std::int32_t menuDisable = 630;
inline constexpr std::int32_t menuEnable = 631;
inline constexpr std::int32_t noSelectionToSwitch = 632;
inline constexpr std::int32_t switchFailed = 633;

// The starter's own entry, when its folder's path keeps a session from starting it
inline constexpr std::int32_t starterPathRefused = 634;

// A customized entry whose switch cannot be read; a command that ran out of memory
inline constexpr std::int32_t customizedSwitchUnreadable = 635;
inline constexpr std::int32_t outOfMemory = 636;
// A restored link that came back as a file of its own
inline constexpr std::int32_t restoredAsFile = 637;
// The About box's program icon, for screen readers
inline constexpr std::int32_t programIconName = 644;
// Why Minimize To Systray is not offered
inline constexpr std::int32_t noTrayArea = 645;
// The filter line's prompt and accessible name
inline constexpr std::int32_t filterPrompt = 646;
// A Customized entry's rule that could never come due
inline constexpr std::int32_t ruleMissing = 647;
inline constexpr std::int32_t weekdayMissing = 648;
inline constexpr std::int32_t dayOfMonthMissing = 649;

// Menu titles, buttons, accessible names and the About box
inline constexpr std::int32_t fileMenu = 650;
inline constexpr std::int32_t helpMenu = 651;
inline constexpr std::int32_t languageMenu = 652;
inline constexpr std::int32_t browseButton = 653;
inline constexpr std::int32_t entryListName = 654;
inline constexpr std::int32_t okButton = 655;
inline constexpr std::int32_t yesButton = 656;
inline constexpr std::int32_t noButton = 657;
// The section's language in its own words, and its code as LANG starts with it ("de")
inline constexpr std::int32_t languageName = 658;
inline constexpr std::int32_t languageCode = 659;
inline constexpr std::int32_t minutesField = 660; // 660 to 665: minutes to day of the month
inline constexpr std::int32_t pathField = 666;
inline constexpr std::int32_t aboutTitle = 667;
inline constexpr std::int32_t aboutPurpose = 668;
inline constexpr std::int32_t aboutCopyright = 669;

// The other ways a program starts at logon: the View menu, and what the window says where a
// source cannot do what was asked. Each source names the numbers of its own kind label, count
// line and reasons (803 to 842, 850 and 903 to 906 for the shipped sources).
inline constexpr std::int32_t viewMenu = 800;
inline constexpr std::int32_t menuOtherSources = 801;
inline constexpr std::int32_t menuSystemComponents = 802;
inline constexpr std::int32_t logonSourceUnavailable = 843;
inline constexpr std::int32_t logonNotSwitchable = 844;
inline constexpr std::int32_t logonNotDeletable = 845;
inline constexpr std::int32_t logonNotStartable = 846;
inline constexpr std::int32_t logonNoFile = 847;
inline constexpr std::int32_t logonToolState = 848;
inline constexpr std::int32_t logonSystemComponent = 849;
// A source that is there but refused to answer (its items may start all the same)
inline constexpr std::int32_t logonSourceRefused = 907;
// The list's menu: the entry's file in the file manager and its properties; and the publisher
// line of the name's tooltip.
inline constexpr std::int32_t menuOpenFileLocation = 851;
inline constexpr std::int32_t menuProperties = 852;
inline constexpr std::int32_t publisherTip = 853;
// The entry dialog's Choose Application button and the chooser it opens.
inline constexpr std::int32_t chooseApplicationButton = 860;
inline constexpr std::int32_t chooseApplicationTitle = 861;
inline constexpr std::int32_t applicationFilter = 862;
inline constexpr std::int32_t applicationList = 863;

// Command line
inline constexpr std::int32_t switchedOffNotice = 700;
// The reasons of 621, 628, 830 to 834 and 850 naming the command line's command (%s) where
// they name a menu item.
inline constexpr std::int32_t firstTerminalReason = 880;
inline constexpr std::int32_t lastTerminalReason = 887;
inline constexpr std::int32_t switchedOnNotice = 705;

// Windows: an entry of the machine's 32-bit Run key, after its Status reason
inline constexpr std::int32_t view32Reason = 710;
// Windows: the Kind of such an entry, and the mark after the Edit dialog's title
inline constexpr std::int32_t allUsers32Label = 711;
inline constexpr std::int32_t view32Mark = 712;

// What each entry cost at the last logon: the Impact column, its levels in ImpactLevel's order
// (High to Not measured), its tips and the View menu's switch of the recording.
inline constexpr std::int32_t impactColumn = 940;
inline constexpr std::int32_t impactHigh = 941;
inline constexpr std::int32_t impactTip = 946;
inline constexpr std::int32_t impactNotMeasuredTip = 947;
inline constexpr std::int32_t menuRecordImpact = 948;

// Every number the program asks for; each section of the shipped language file defines all.
inline constexpr std::array all = {editButton,
                                   addButton,
                                   deleteButton,
                                   nameColumn,
                                   kindColumn,
                                   commandColumn,
                                   customizedLabel,
                                   customizedCount,
                                   currentUserLabel,
                                   currentUserCount,
                                   allUsersLabel,
                                   allUsersCount,
                                   totalCount,
                                   noSelectionToEdit,
                                   noSelectionToDelete,
                                   newEntryName,
                                   customizedRestoreLabel,
                                   restoreQuestion,
                                   restoredNotice,
                                   restoreFailed,
                                   unreadableRecords,
                                   restoreReplaces,
                                   menuReverse,
                                   menuEditBackup,
                                   menuMinimize,
                                   menuExit,
                                   menuHelpFile,
                                   menuWebsite,
                                   menuAbout,
                                   trayShow,
                                   trayStop,
                                   nameLabel,
                                   pathLabel,
                                   deleteThisEntry,
                                   cancelButton,
                                   kindGroup,
                                   nameAndPathGroup,
                                   startGroup,
                                   490,
                                   495,
                                   500,
                                   505,
                                   510,
                                   515,
                                   520,
                                   525,
                                   530,
                                   535,
                                   540,
                                   addQuestion,
                                   changeQuestion,
                                   changeQuestionDetail,
                                   addedNotice,
                                   changedNotice,
                                   deleteQuestion,
                                   deletedNotice,
                                   removeFailed,
                                   saveFailed,
                                   lineBreakRefused,
                                   noCommandRefused,
                                   notUtf8Refused,
                                   nameUsedRefused,
                                   badNameRefused,
                                   nameTooLongRefused,
                                   commandTooLongRefused,
                                   noTrayArea,
                                   filterPrompt,
                                   ruleMissing,
                                   weekdayMissing,
                                   dayOfMonthMissing,
                                   fileMenu,
                                   helpMenu,
                                   languageMenu,
                                   browseButton,
                                   entryListName,
                                   okButton,
                                   yesButton,
                                   noButton,
                                   languageName,
                                   languageCode,
                                   minutesField,
                                   661,
                                   662,
                                   663,
                                   664,
                                   665,
                                   pathField,
                                   aboutTitle,
                                   aboutPurpose,
                                   aboutCopyright,
                                   programIconName,
                                   unrecognisedFile,
                                   fileErrorIntro,
                                   helpNotShown,
                                   statusColumn,
                                   notStartingCount,
                                   612,
                                   613,
                                   614,
                                   615,
                                   616,
                                   617,
                                   618,
                                   619,
                                   620,
                                   621,
                                   622,
                                   623,
                                   624,
                                   625,
                                   626,
                                   customizedStartsReason,
                                   customizedDisabledReason,
                                   neverDueReason,
                                   conditionFailsLabel,
                                   conditionUnknownLabel,
                                   conditionFailsReason,
                                   conditionUnknownReason,
                                   unitOnDemand,
                                   unitByTimer,
                                   unitByPath,
                                   menuDisable,
                                   menuEnable,
                                   noSelectionToSwitch,
                                   switchFailed,
                                   starterPathRefused,
                                   customizedSwitchUnreadable,
                                   outOfMemory,
                                   restoredAsFile,
                                   switchedOffNotice,
                                   switchedOnNotice,
                                   view32Reason,
                                   allUsers32Label,
                                   view32Mark,
                                   impactColumn,
                                   impactHigh,
                                   impactHigh + 1,
                                   impactHigh + 2,
                                   impactHigh + 3,
                                   impactHigh + 4,
                                   impactTip,
                                   impactNotMeasuredTip,
                                   menuRecordImpact,
                                   dateTimeFormat,
                                   dateFormat,
                                   lastStart,
                                   lastStartUnknown,
                                   nextStart,
                                   nextStartNow,
                                   nextStartLaterRun,
                                   neverStarts,
                                   neverUnknownRule,
                                   neverNoWeekday,
                                   neverNoSuchDay,
                                   lastStartFailed,
                                   problemNotFound,
                                   problemNotExecutable,
                                   problemPermission,
                                   problemOther,
                                   menuStartNow,
                                   noSelectionToStart,
                                   startNowFailed,
                                   timedStartFailed,
                                   firstWeekday,
                                   771,
                                   772,
                                   773,
                                   774,
                                   775,
                                   776,
                                   firstEveryOne,
                                   778,
                                   779,
                                   780,
                                   problemNoOpener,
                                   viewMenu,
                                   menuOtherSources,
                                   menuStartupChanges,
                                   menuNotifyChanges,
                                   entryAddedNotice,
                                   entryChangedNotice,
                                   changesNotice,
                                   keepAction,
                                   switchOffAction,
                                   removeAction,
                                   sinceLastLooked,
                                   countAdded,
                                   countRemoved,
                                   countChanged,
                                   showChangesAction,
                                   changeTimeColumn,
                                   changeKindColumn,
                                   changeNameColumn,
                                   changeColumn,
                                   changeBeforeColumn,
                                   changeAfterColumn,
                                   changeByColumn,
                                   changeActionColumn,
                                   changeAddedWord,
                                   changeRemovedWord,
                                   changeCommandWord,
                                   changeSwitchedOffWord,
                                   changeSwitchedOnWord,
                                   byWindowWord,
                                   byCommandLineWord,
                                   byTimerWord,
                                   byOtherWord,
                                   actionKeptWord,
                                   actionSwitchedOffWord,
                                   actionRemovedWord,
                                   watchIncomplete,
                                   closeButton,
                                   beforeTime,
                                   changedEntryGone,
                                   changeListName,
                                   changeFilterName,
                                   menuSystemComponents,
                                   logonSourceUnavailable,
                                   logonNotSwitchable,
                                   logonNotDeletable,
                                   logonNotStartable,
                                   logonNoFile,
                                   logonToolState,
                                   logonSystemComponent,
                                   logonSourceRefused,
                                   menuOpenFileLocation,
                                   menuProperties,
                                   publisherTip,
                                   openerFailed,
                                   nothingToRestore,
                                   allFilesFilter,
                                   910, // systemd user units: why a switch is refused
                                   911,
                                   912,
                                   913,
                                   firstTerminalReason,
                                   881,
                                   882,
                                   883,
                                   884,
                                   885,
                                   886,
                                   lastTerminalReason,
                                   chooseApplicationButton,
                                   chooseApplicationTitle,
                                   applicationFilter,
                                   applicationList};

} // namespace lw::text
