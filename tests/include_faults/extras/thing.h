// A folder the layers do not know.
#pragma once
