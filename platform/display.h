#pragma once
// Whether this process can reach an X server at all ($DISPLAY).

bool DisplayAvailable();
