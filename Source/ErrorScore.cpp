#include "ErrorScore.h"

void calc_error_score(std::vector<MultiRead*>&, std::map<char, double>&) {}
