#pragma once
#define IDI_APP_ICON 101
#define IDR_BACKGROUND_1 201
#define IDR_BACKGROUND_2 202
#define IDR_MUSIC 203
