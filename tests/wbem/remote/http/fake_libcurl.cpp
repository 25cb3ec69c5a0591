// A library that answers to libcurl's name but holds none of its functions.
int cimscope_not_libcurl = 1;
