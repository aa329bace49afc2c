#pragma once

// Identifiers of the test dialog template; shared by the resource script and the tests.
#define IDD_HARNESS 200

#define IDC_RUN 1001
#define IDC_OTHER 1002
#define IDC_LABEL 1003
#define IDC_PLAIN 1004
#define IDC_LIST 1005
#define IDC_PROGRESS 1006
#define IDC_OWNERDRAW 1007
