#pragma once
// A count of bytes as a reader takes it in at a glance.
#include <cstddef>
#include <string>

// 3510720 -> "3,510,720".
std::string grouped(std::size_t number);
