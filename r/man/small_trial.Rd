\name{small_trial}
\alias{small_trial}
\docType{data}
\title{A small trial}
\description{Three entries at three sites over two years; one value missing.}
\usage{data(small_trial)}
\format{A data frame with columns year, site, variety and yield.}
\keyword{datasets}
