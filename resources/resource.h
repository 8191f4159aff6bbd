// Resource numbers. The numbers are fixed: the dialog templates, the string table and the
// code refer to the same resources, and tests read them back from the built executable.
#ifndef SAUCELINS_RESOURCES_RESOURCE_H
#define SAUCELINS_RESOURCES_RESOURCE_H

// Dialogs
#define IDD_MAIN            101
#define IDD_ABOUT           105
#define IDD_EDITOR          106
#define IDD_MEMO            111
#define IDD_ZOOM            114
#define IDD_PRINTING        119
#define IDD_HELP            120   // the program's own help window
#define IDD_PREVIEW         140   // print preview

// Menus, icon, cursors, bitmap
#define IDR_TREE_MENU       107
#define IDR_LIST_MENU       110
#define IDI_APP             104
#define IDCU_DROP           108
#define IDCU_NODROP         109
#define IDB_TOOLBAR         115
#define IDR_RECIPE_MENU     150   // main window: context menu of the recipe list

// Controls
#define IDC_EDITOR_HELP     9
#define IDC_RECIPE_LIST     1000
#define IDC_RECIPE_TEXT     1001
#define IDC_SEARCH          1004
#define IDC_ABOUT           1005
#define IDC_ABOUT_NOTICE    1006
#define IDC_ABOUT_TERMS     1007
#define IDC_ABOUT_PROGRAM   1008
#define IDC_ABOUT_VERSION   1009
#define IDC_ABOUT_RECIPES   1010
#define IDC_SEARCH_LABEL    1011
#define IDC_TOTAL           1012
#define IDC_LISTED          1013   // also the about box's build line
#define IDC_ABOUT_BUILD     1013
#define IDC_HISTORY         1017
#define IDC_TABS            1018
#define IDC_TREE            1019
#define IDC_EDITOR_SAVE     1021
#define IDC_EDITOR_OPEN     1024
#define IDC_EDITOR_EXPLAIN  1025
#define IDC_EDITOR_LIST     1027
#define IDC_EDITOR_TREE     1028
#define IDC_EDITOR_STATUS   1029
#define IDC_QUIT            1031   // main window Quit, editor Close
#define IDC_MEMO_TEXT       1035
#define IDC_MEMO_EDIT       1038
#define IDC_ZOOM_TEXT       1040
#define IDC_TOOLBAR         1041
#define IDC_EDITOR_CREATE   1042
#define IDC_EDITOR_DESTROY  1043
#define IDC_EDITOR_RENAME   1044
#define IDC_PRINT_DEVICE    1045
#define IDC_PRINT_PORT      1046
#define IDC_PRINT_DOCUMENT  1047
#define IDC_HELP_TEXT       1050   // text of the help window
// Print preview
#define IDC_PREVIEW_PRINT    1130
#define IDC_PREVIEW_PREVIOUS 1131
#define IDC_PREVIEW_NEXT     1132
#define IDC_PREVIEW_PAGE     1133   // "Page n sur m"
#define IDC_PREVIEW_FIT      1134   // zoom: the page fitted to the window
#define IDC_PREVIEW_ACTUAL   1135   // zoom: 100 %
#define IDC_PREVIEW_MEMO     1136   // the memo with the recipe
#define IDC_PREVIEW_VIEW     1137   // the page itself

// Commands
#define IDM_NEW_CATEGORY    40001
#define IDM_DELETE_CATEGORY 40002
#define IDM_RENAME_CATEGORY 40003
#define IDM_SHOW_RECIPE     40004
#define IDM_EDIT_MEMO       40005
#define IDM_LARGER          40006
#define IDM_SMALLER         40007
#define IDM_READ_MEMO       40008
#define IDM_NEW_MEMO        40009
#define IDM_PRINT           40010
#define IDM_CATEGORIES_TAB  40011
#define IDM_EDITOR          40012
#define IDM_RECIPES_TAB     40013
#define IDM_HELP            40014
// What the toolbar and the recipe list's context menu do with one recipe.
#define IDM_PREVIEW         40110
#define IDM_COPY            40111
#define IDM_SAVE_AS         40112
#define IDM_WITH_MEMO       40113   // option: the memo goes with the recipe

// Strings
#define IDS_PROGRAM         1
#define IDS_VERSION         2
#define IDS_RECIPES_BY      3
#define IDS_MAIN_TITLE      4
#define IDS_SEARCH          5
#define IDS_TOTAL           6
#define IDS_BUILD           7
#define IDS_ROOT            9
#define IDS_EDITOR_TITLE    10
#define IDS_EDITOR_BUTTON   11
#define IDS_EDITOR_EXPLAIN  12
#define IDS_TAB_RECIPES     13
#define IDS_TAB_CATEGORIES  14
#define IDS_TAB_EDITOR      15
#define IDS_COUNT_PLURAL    16
#define IDS_CAPTION         17
#define IDS_DISCARD         18
#define IDS_SAVE_ERROR      19
#define IDS_NO_INDEX        20
#define IDS_INDEX_ERROR     21
#define IDS_HELP            22
#define IDS_QUIT            23
#define IDS_SAVE            24
#define IDS_ABOUT           25
#define IDS_OPEN_ERROR      26
#define IDS_READ_ERROR      27
#define IDS_RENAME          28
#define IDS_CREATE          29
#define IDS_DESTROY         30
#define IDS_GAUGE_LOAD      31
#define IDS_GAUGE_SAVE      32
#define IDS_CATEGORY_HELP   33
#define IDS_COUNT_SINGULAR  34
#define IDS_CONFIRM_DELETE  35
#define IDS_CANNOT_DELETE   36
#define IDS_MEMO_TITLE      38
#define IDS_EDIT_MODE       40
#define IDS_FONT_ERROR      41
#define IDS_CANNOT_MOVE     48
#define IDS_LISTED          49
#define IDS_CLOSE           50
#define IDS_PRINT_NOTHING   52
#define IDS_FOOTER          53
#define IDS_MEMO_NOT_SAVED  54   // memo dialog: the store could not be written
#define IDS_ABOUT_NOTICE    55   // about box: what the program is, its credits
#define IDS_ABOUT_TERMS     56   // about box: terms of distribution
#define IDS_BUILD_WHEN      57   // about box: build date and time, "%s \xE0 %s"
#define IDS_SAVE_REFUSED    58   // editor: Save refused, the catalogue was not loaded
#define IDS_EDITOR_COLUMN   59   // editor: title of the recipe list's column
#define IDS_SAVE_PATH       65   // editor: Save refused, a category's path cannot be written whole
#define IDS_SAVE_CHANGED    66   // editor: Save refused, another program saved the index meanwhile
#define IDS_MEMO_DELETE     90   // memo dialog: an emptied text deletes the memo, asked first
#define IDS_LABEL_REFUSED   91   // editor: a label with "/" or a control character
#define IDS_LABEL_TAKEN     92   // editor: a sibling already has that label, "%s"
#define IDS_MOVE_LABEL_TAKEN 93  // editor: the target already has a category labelled "%s"
#define IDS_EMPTY_NOT_SAVED 94   // editor: Save names the categories without a recipe, "%s"
#define IDS_EMPTY_MORE      95   // editor: and "%d" more, after the names Save shows
#define IDS_MEMO_HEADING    110  // printed, copied and saved recipes: heading of the memo
#define IDS_PREVIEW_CAPTION 111  // preview window title, "%s" the recipe's title
#define IDS_PREVIEW_PAGE    112  // "Page %d sur %d"
#define IDS_SELECT_FIRST    113  // a recipe command with no recipe selected
#define IDS_COPY_FAILED     114  // the clipboard could not be filled
#define IDS_SAVE_DIALOG     115  // title of the save dialog
#define IDS_SAVE_FILTER     116  // its file types, '|' between the parts
#define IDS_SAVE_FAILED     117  // the file could not be written, "%s" its name
#define IDS_MEMO_BUSY       60   // memo dialog, saucelins-cli: another program holds the store
// The program's own help, one string per topic, shown in this order.
#define IDS_HELP_TABS       300
#define IDS_HELP_SEARCH     301
#define IDS_HELP_SIZES      302
#define IDS_HELP_MEMOS      303
#define IDS_HELP_PRINT      304
#define IDS_HELP_EDITOR     305
#define IDS_HELP_TEXT_FIRST IDS_HELP_TABS
#define IDS_HELP_TEXT_LAST  IDS_HELP_EDITOR
#define IDS_PRINT_DIALOG    40016
#define IDS_PRINT_BOX       40017
#define IDS_PRINT_ABORT     40018
#define IDS_PRINT_FAILED    40019

// saucelins-cli, the command-line tool: its help, its messages and the lines of `check`.
#define IDS_CLI_HELP            3000
#define IDS_CLI_VERSION         3001
#define IDS_CLI_NO_COMMAND      3002
#define IDS_CLI_UNKNOWN_COMMAND 3003
#define IDS_CLI_UNKNOWN_OPTION  3004
#define IDS_CLI_MISSING_ARG     3005
#define IDS_CLI_EXTRA_ARG       3006
#define IDS_CLI_BAD_NUMBER      3007
#define IDS_CLI_BAD_DIR         3008
#define IDS_CLI_NO_RECIPE       3009
#define IDS_CLI_STATUS          3010   // a record-store status: its number, then its meaning
#define IDS_CLI_BAD_TEXT        3011
#define IDS_CLI_STDIN_ERROR     3012
#define IDS_CLI_WRITE_ERROR     3013
#define IDS_CLI_MEMO_CUT        3014
// Meanings of the record-store statuses -889 (IDS_CLI_VLR_FIRST) to -900 (IDS_CLI_VLR_LAST).
#define IDS_CLI_VLR_889         3020
#define IDS_CLI_VLR_890         3021
#define IDS_CLI_VLR_891         3022
#define IDS_CLI_VLR_892         3023
#define IDS_CLI_VLR_893         3024
#define IDS_CLI_VLR_894         3025
#define IDS_CLI_VLR_895         3026
#define IDS_CLI_VLR_896         3027
#define IDS_CLI_VLR_897         3028
#define IDS_CLI_VLR_898         3029
#define IDS_CLI_VLR_899         3030
#define IDS_CLI_VLR_900         3031
#define IDS_CLI_VLR_FIRST       IDS_CLI_VLR_889
#define IDS_CLI_VLR_LAST        IDS_CLI_VLR_900
#define IDS_CLI_VLR_OTHER       3032
#define IDS_CLI_CHECK_RECIPES   3040
#define IDS_CLI_CHECK_COMMENT   3041
#define IDS_CLI_CHECK_BLANK     3042
#define IDS_CLI_CHECK_FIELDS    3043
#define IDS_CLI_CHECK_SKIPPED   3044
#define IDS_CLI_CHECK_OPEN      3045
#define IDS_CLI_CHECK_EMPTY     3046
#define IDS_CLI_CHECK_INVERTED  3047
#define IDS_CLI_CHECK_PAST_END  3048
#define IDS_CLI_CHECK_READ      3049
#define IDS_CLI_CHECK_CUT       3050
#define IDS_CLI_CHECK_NUL       3051
#define IDS_CLI_CHECK_DUPLICATE 3052
#define IDS_CLI_QUOTED          3053
#define IDS_CLI_CHECK_NO_STORE  3054
#define IDS_CLI_CHECK_STORE     3055
#define IDS_CLI_CHECK_STORE_BAD 3056
#define IDS_CLI_CHECK_ORPHAN    3057
#define IDS_CLI_CHECK_MEMO_BAD  3058
#define IDS_CLI_CHECK_MEMO_TWICE 3059
#define IDS_CLI_CHECK_SOUND     3060
#define IDS_CLI_CHECK_PROBLEMS  3061
#define IDS_CLI_CHECK_NUL_LINE  3120   // check: an index line holding a NUL byte, skipped
#define IDS_CLI_CHECK_PATH      3121   // check: a category whose path a save cannot write whole
#define IDS_CLI_SAVE_PATH       3122   // resave refused: that category's path
#define IDS_CLI_SAVE_CHANGED    3123   // resave refused: the index changed during the resave

// Search inside recipes: the main window's command and dialog, the command line's messages.
#define IDD_SEARCH              130
#define IDC_SEARCH_WORDS        1100   // the words to look for
#define IDC_SEARCH_IN_TITLES    1101
#define IDC_SEARCH_IN_TEXTS     1102
#define IDC_SEARCH_IN_MEMOS     1103
#define IDC_SEARCH_STATUS       1104   // what the last search gave, or why it gave nothing
#define IDM_SEARCH              40100  // toolbar, Ctrl+F and F3; its tooltip is string 40100
#define IDR_SEARCH_KEYS         131    // the main window's accelerators
#define IDS_FOUND_PLURAL        70     // label 1013 after a search: "%d recettes trouvées"
#define IDS_FOUND_SINGULAR      71     // zero or one
#define IDS_SEARCH_NONE         72     // the dialog: nothing found
#define IDS_SEARCH_SUGGEST      73     // the dialog: nothing found, with close words
#define IDS_SEARCH_NO_WORD      74     // the dialog: the text holds no word
#define IDS_SEARCH_NO_SCOPE     75     // the dialog: no place to look in is ticked
#define IDS_GAUGE_SEARCH        76     // gauge title while the recipes are indexed
#define IDS_CLI_SEARCH_NONE     3140
#define IDS_CLI_SEARCH_SUGGEST  3141
#define IDS_CLI_SEARCH_NO_WORD  3142
#define IDS_CLI_SEARCH_BAD_SCOPE 3143
#define IDS_CLI_SEARCH_NO_MEMOS 3144
#define IDS_CLI_SEARCH_BAD_UTF8 3145
#define IDS_CLI_SEARCH_STDIN    3146
#define IDS_CLI_VLR_901         3100   // meaning of kVlrBusy (-901), after IDS_CLI_VLR_LAST
#define IDS_CLI_CHECK_MEMO_OUTSIDE 3101   // a directory entry whose bytes lie outside the file

// Private window messages, numbered from WM_USER (1024). In a dialog, WM_USER + 1 and + 2 are
// also DM_SETDEFID and DM_REPOSITION: a dialog procedure that handles one returns TRUE, or the
// dialog manager acts on it too (a DM_SETDEFID with wParam 0 takes the default from OK).
#define WMU_LOAD            1025   // WM_USER + 1: a window loads its data once it is on screen
#define WMU_CANCEL_PRINT    1026   // WM_USER + 2: the print-progress box asks its owner to cancel
#define WMU_RELOAD          1027   // WM_USER + 3: main window, reload after the category editor
#define WMU_LOADED          1028   // WM_USER + 4: main window, the catalogue is loaded

#endif
