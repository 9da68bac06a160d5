#pragma once

// The decimal separator of the user's locale, as every window shows and reads numbers. The
// core's number texts take one ASCII character, so a separator outside ASCII becomes '.'.
char LocaleDecimalSeparator();
