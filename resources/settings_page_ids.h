#ifndef TIDEWIRE_RESOURCES_SETTINGS_PAGE_IDS_H_
#define TIDEWIRE_RESOURCES_SETTINGS_PAGE_IDS_H_
// The settings page's dialog template, its tab title and its controls; shared by the resource
// script and the page's code.

#define IDD_SETTINGS_PAGE 104
#define IDS_SETTINGS_PAGE_TITLE 105

#define IDC_RELOAD_MINUTES 201
#define IDC_ADD_FEED 204
#define IDC_SPEED 205
#define IDC_REMOVE_FEEDS 206
#define IDC_DELAY_SECONDS 207
#define IDC_FEED_TO_ADD 208
#define IDC_FEED_LIST 209

#endif  // TIDEWIRE_RESOURCES_SETTINGS_PAGE_IDS_H_
