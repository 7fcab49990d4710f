/* The numbers and names that the dialog templates (.rc, read by windres) and
   the dialog procedures share: control identifiers, template and icon names.
   Plain #defines, so that both the resource compiler and C++ read them. */
#ifndef KORVI_DIALOG_RESOURCE_H
#define KORVI_DIALOG_RESOURCE_H

/* MAINDIALOG */
#define IDC_EXTRACT_LABEL  100
#define IDC_DESTINATION    101
#define IDC_BROWSE         775
#define IDC_EXECUTE        1007
#define IDC_OVERWRITE      1008

/* DLGPROGRESS */
#define IDC_ENTRY_NAME     901
#define IDC_TOTAL_LABEL    902
#define IDC_BAR_PLACE      903

/* FILEEXIST: the name, then the existing file's size and date and the
   archived file's size and date, numbered in that order */
#define IDC_APPLY_TO_ALL   401
#define IDC_CONFLICT_NAME  500
#define IDC_EXISTING_SIZE  501
#define IDC_EXISTING_DATE  502
#define IDC_ARCHIVED_SIZE  503
#define IDC_ARCHIVED_DATE  504

/* PASSWD */
#define IDC_PASSWORD       101

/* The folder browser's button and DLGNEW have theirs in Dialogsel/resource.h,
   the folder below this one. */
#include "Dialogsel/resource.h"

/* Names of templates that the code names itself (the main dialog, the
   password prompt and the overwrite confirmation are named by the message
   catalogue), and of the icon. */
#define PROGRESS_TEMPLATE  "DLGPROGRESS"
#define PROGRAM_ICON       "MNICON"

#endif
