#include "utils.h"

#include "Logger.h"

static Logger g_Logger;
Logger* GetLogger() { return &g_Logger; }
int min_value(const std::vector<int>&) { return 0; }
std::string convertS(int, int) { return ""; }
double WallClockSeconds() { return 0; }
void print_v(std::vector<std::string>) {}
void print_array(int***, int, int, int) {}
void print_vv(std::vector<std::string*>, int) {}
