# Tests of the document camera control panels.
