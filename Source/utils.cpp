#include "utils.h"

#include <sys/time.h>

#include <cassert>
#include <iostream>
#include <sstream>

#include "Logger.h"

namespace {
// The process-wide log, built before main runs and destroyed at exit.
Logger g_Logger;
}  // namespace

Logger* GetLogger() { return &g_Logger; }

int min_value(const std::vector<int>& numbers) {
    int iSmallest = numbers[0];
    for (int value : numbers)
        if (value < iSmallest) iSmallest = value;
    return iSmallest;
}

std::string convertS(int value, int width) {
    assert(width >= 0);
    std::ostringstream out;
    out.fill('0');
    out.setf(std::ios::internal, std::ios::adjustfield);
    out.width(width);
    out << value;
    return out.str();
}

double WallClockSeconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return now.tv_sec + (now.tv_usec / 100 * 100) / 1000000.0;
}

void print_v(std::vector<std::string> strings) {
    for (std::size_t i = 0; i < strings.size(); ++i) std::cout << i << "\t" << strings[i] << std::endl;
}

void print_array(int*** array, int count1, int count2, int count3) {
    for (int i = 0; i < count1; ++i) {
        std::cout << i << std::endl;
        for (int j = 0; j < count2; ++j) {
            std::cout << j << "\t";
            for (int k = 0; k < count3; ++k) std::cout << array[i][j][k] << " ";
            std::cout << std::endl;
        }
        std::cout << std::endl;
    }
}

void print_vv(std::vector<std::string*> arrays, int n) {
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        std::cout << i << "\t" << arrays[i][0] << " ";
        for (int j = 6; j < n; ++j) std::cout << arrays[i][j] << " ";
        std::cout << std::endl;
    }
}
