#pragma once
// The program icon: three images, 16, 32 and 48 pixels, 32 bits per pixel.
#define IDI_BRISVALE 1
