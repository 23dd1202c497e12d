#pragma once
// Hands the picture codecs to the GDI+ substitute and the clipboard, which
// sit below imageio and reach the codecs only through what they are given.

// Installs them. fGDIp_Startup does this before GDI+ starts, and so do the
// loader, the size probe and the saver (whoever started GDI+); so does
// linking this file at all. Safe to repeat, from any thread.
void UseCodecsForGdiplus();
