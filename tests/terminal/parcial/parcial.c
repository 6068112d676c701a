/* A terminal library that lacks all but one function, to see the loader name what is missing. */
#include "pqtLurma.h"

LurmaBool bInitialize(LurmaWindowPort *window) { return window != 0; }
