\name{print.locprox}
\alias{print.locprox}
\alias{plot.locprox}
\alias{as.data.frame.locprox}
\title{Showing a locprox result}
\description{
\code{print} gives the summary's account (the measure, the year summarised,
the counts of pairs and, with groups, the groups); \code{plot} draws the
averages as a heatmap in the order of the tree, with the dendrogram above it,
in base graphics; \code{as.data.frame} gives the pairs.
}
\usage{
\method{print}{locprox}(x, ...)
\method{plot}{locprox}(x, ...)
\method{as.data.frame}{locprox}(x, ...)
}
\arguments{
  \item{x}{an object of class \code{locprox}, from \code{\link{analyse}} or
    \code{\link{read_proximity}}.}
  \item{...}{for \code{plot}, passed on to the dendrogram's \code{plot};
    otherwise not used.}
}
\value{\code{x}, invisibly, for \code{print} and \code{plot}; the
\code{pairs} data frame for \code{as.data.frame}.}
\details{In the dendrogram, joins at an infinite height (clusters never
compared) are drawn a step above the highest finite join.}
\examples{
data(small_trial)
result <- analyse(small_trial, location = "site", entry = "variety",
                  value = "yield", measure = "centred")
print(result)
plot(result)
as.data.frame(result)
}
