// --aide, --help and -h print the usage on the standard output and do nothing else.
#include "CliRun.h"

#include "support/Images.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

// The operations, under their headings, with their values and their line of
// help, in this order.
TEST(CliHelp, EitherOptionPrintsTheFrenchUsageWithEveryOperation)
{
    const QString operations =
        QStringLiteral("\n"
                       "Effets, sur toute l'image (la sélection n'y change rien) :\n"
                       "  mirroir                    échange la gauche et la droite\n"
                       "  flip                       échange le haut et le bas\n"
                       "  vaguex                     chaque ligne ondule vers la gauche ou la droite\n"
                       "  vaguey                     chaque colonne ondule vers le haut ou le bas\n"
                       "  tunnel                     enroule l'image en cercles (« Tunnel »)\n"
                       "  pouetpouet                 enroule l'image en ondulations (« Pouet pouet »)\n"
                       "  negatif                    négatif\n"
                       "  noiretblanc                noir et blanc\n"
                       "  couleurs R V B             gains de rouge, vert et bleu (« Couleurs RVB »)\n"
                       "  contraste C L              contraste puis luminosité (« Contraste »)\n"
                       "\n"
                       "Filtres, seulement dans la sélection :\n"
                       "  flou                       flou en vision doublée\n"
                       "  blur                       effet de flou\n"
                       "  nettete                    accentuation des détails\n"
                       "  estampage                  relief monochromatique\n"
                       "  aquarelle                  effet de peinture à la main\n"
                       "\n"
                       "Sélection (au départ, toute l'image) :\n"
                       "  selection X0 Y0 X1 Y1      l'outil de sélection tiré de (X0, Y0) à (X1, Y1)\n"
                       "  tout                       toute l'image redevient modifiable\n"
                       "\n"
                       "Taille et orientation (ensuite, toute l'image est modifiable) :\n"
                       "  rogner X0 Y0 X1 Y1         garde le rectangle de (X0, Y0) à (X1, Y1)\n"
                       "  autorogner                 retire les bords de la couleur du coin haut gauche\n"
                       "  redimensionner L H FILTRE  nouvelle largeur et hauteur, calculées par FILTRE\n"
                       "  toile L H ANCRE COULEUR    zone de dessin L x H, l'image placée à ANCRE\n"
                       "  rotation DEGRÉS            tourne l'image dans le sens horaire\n"
                       "\n"
                       "Remplissage, seulement dans la sélection :\n"
                       "  remplir COULEUR            les pixels sélectionnés prennent la COULEUR\n"
                       "\n"
                       "Les valeurs R V B, C et L sont celles des boîtes « Couleurs RVB » et\n");
    const QByteArray aide = clirun::Run({"--aide"}).out;
    for (const QString option : {"--aide", "--help", "-h"}) {
        SCOPED_TRACE(option.toStdString());
        const clirun::Result result = clirun::Run({option});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_TRUE(result.err.isEmpty());
        EXPECT_EQ(result.out, aide);
        const QString usage = QString::fromUtf8(result.out);
        EXPECT_TRUE(usage.startsWith("Utilisation : velmora-cli [--qualite N] ENTRÉE SORTIE"));
        EXPECT_TRUE(usage.contains("(92 par\n               défaut)\n" + operations)) << usage.toStdString();
        EXPECT_TRUE(usage.contains("\n              velmora-cli --dossier SORTIE [--taches N] [--memoire N]\n"
                                   "                          [--format EXT] [--remplacer] [--qualite N]\n"
                                   "                          ENTRÉE... -- [OPÉRATION [VALEURS]]...\n"));
        EXPECT_TRUE(usage.contains("au plus N images en mémoire à la fois\n"));
        EXPECT_TRUE(
            usage.contains("\n  --memoire N       mémoire que les images tiennent à la fois, en Mio, de 1 à\n"));
        EXPECT_TRUE(usage.endsWith("2 erreur dans la ligne de commande\n"
                                   "(par lots : aussi un dossier de sortie absent ou fermé en écriture, deux\n"
                                   "entrées de même nom, une entrée qui serait remplacée), 130 interrompu par\n"
                                   "Ctrl+C (SIGINT), 143 interrompu par SIGTERM, 129 par SIGHUP.\n"));
    }
}

TEST(CliHelp, WinsOverEverythingElseOnTheLine)
{
    const QString dir = testimg::TempDir();
    const clirun::Result result = clirun::Run({dir + "/absent.bmp", dir + "/sortie.bmp", "blur", "--help", "inconnue"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.startsWith("Utilisation"));
    EXPECT_TRUE(QDir(dir).isEmpty());
}

// The version is the project's, alone on its line; help still wins over it.
TEST(CliHelp, VersionPrintsTheProgramsVersion)
{
    const clirun::Result result = clirun::Run({"--version"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, QByteArray("velmora-cli " VELMORA_VERSION "\n"));
    EXPECT_TRUE(result.err.isEmpty());
    EXPECT_TRUE(clirun::Run({"--version", "--aide"}).out.startsWith("Utilisation"));
}

TEST(CliHelp, AUsageThatCannotBeWrittenIsAnError)
{
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    const clirun::Result result = clirun::Run({"--aide"}, "/dev/full");
    ASSERT_TRUE(result.finished);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(result.err).contains("impossible d'écrire l'aide"));
}
