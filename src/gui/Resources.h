#pragma once
// Makes the program's resources (images, help pages) available. The GUI
// library is static, so its resources are registered explicitly; calling
// this more than once is harmless.
void InitKestruneResources();
