/* The numbers and names that the templates (.rc, read by windres) and the
   code of this folder share: the folder browser's added button, and the
   New Folder dialog DLGNEW. Plain #defines, so that both the resource
   compiler and C++ read them. */
#ifndef KORVI_DIALOGSEL_RESOURCE_H
#define KORVI_DIALOGSEL_RESOURCE_H

#define IDC_NEW_BUTTON     1277
#define IDC_PARENT_FOLDER  3001
#define IDC_NEW_NAME       3002

#define NEW_FOLDER_TEMPLATE "DLGNEW"

#endif
