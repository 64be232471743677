library(testthat)
library(locprox)
test_check("locprox")
